#include "platform/Console.hpp"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>

namespace {

// UTF-16 text as UTF-8.
std::string utf8(const wchar_t* text, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

UINT codePageBefore = 0;

// The console may be the player's own command prompt: give it back as it was.
void restoreCodePage() {
    SetConsoleOutputCP(codePageBefore);
}

} // namespace
#else
#include <system_error>
#endif

bool consoleIsTheGamesAlone(unsigned long processes) {
    return processes == 1;
}

bool consoleClosesWithGame() {
#ifdef _WIN32
    // A console opened by a command prompt lists the prompt too.
    DWORD processes[2];
    return consoleIsTheGamesAlone(GetConsoleProcessList(processes, 2));
#else
    return false;
#endif
}

void useUtf8Console() {
#ifdef _WIN32
    codePageBefore = GetConsoleOutputCP();
    if (codePageBefore != 0 && SetConsoleOutputCP(CP_UTF8)) {
        std::atexit(restoreCodePage);
    }
#endif
}

void showMessageBox([[maybe_unused]] const std::string& line) {
#ifdef _WIN32
    const int size = MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide.data(), size);
    MessageBoxW(nullptr, wide.c_str(), L"Tangleroot", MB_OK | MB_ICONERROR);
#endif
}

std::string systemMessage(unsigned long code) {
#ifdef _WIN32
    // The wide message, so that no letter is lost to the ANSI code page
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length > 0 ? utf8(text, static_cast<int>(length)) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
#else
    return std::system_category().message(static_cast<int>(code));
#endif
}
