#include "platform/Console.hpp"

#include "platform/StderrLines.hpp"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#include <exception>

namespace {

UINT codePageBefore = 0;

// The console may be the player's own command prompt: give it back as it was.
void restoreCodePage() {
    if (codePageBefore != 0) {
        SetConsoleOutputCP(codePageBefore);
    }
}

std::terminate_handler terminateBefore = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER crashFilterBefore = nullptr;

// The ends that skip exit(): an exception nothing caught, and a crash. Each
// puts the code page back, then goes on as it would have.
[[noreturn]] void restoreAtTerminate() {
    restoreCodePage();
    if (terminateBefore != nullptr) {
        terminateBefore();
    }
    std::abort();
}

LONG WINAPI restoreAtCrash(EXCEPTION_POINTERS* crash) {
    restoreCodePage();
    return crashFilterBefore != nullptr ? crashFilterBefore(crash) : EXCEPTION_CONTINUE_SEARCH;
}

} // namespace
#else
#include <libintl.h>

#include <clocale>
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

bool stderrGoesUnread(unsigned long consoleProcesses, bool stderrIsFileOrPipe) {
    return !stderrIsFileOrPipe && consoleProcesses <= 1;
}

bool nobodyReadsStderr() {
#ifdef _WIN32
    DWORD processes[2];
    const DWORD type = GetFileType(GetStdHandle(STD_ERROR_HANDLE));
    return stderrGoesUnread(GetConsoleProcessList(processes, 2),
                            type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE);
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

void useSystemLanguage() {
#ifndef _WIN32
    if (std::setlocale(LC_MESSAGES, "") != nullptr) {
        // The C library's own texts, as the game's messages are
        bind_textdomain_codeset("libc", "UTF-8");
    }
#endif
}

void keepConsoleFromBlocking() {
#ifdef _WIN32
    if (consoleClosesWithGame()) {
        // The console's own input, even when stdin comes from elsewhere
        const HANDLE input =
            CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD mode = 0;
        if (input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)) {
            // ENABLE_EXTENDED_FLAGS makes Windows take the QuickEdit bit as given
            SetConsoleMode(input, (mode & ~DWORD{ENABLE_QUICK_EDIT_MODE}) | ENABLE_EXTENDED_FLAGS);
        }
        if (input != INVALID_HANDLE_VALUE) {
            CloseHandle(input);
        }
    }
    terminateBefore = std::set_terminate(restoreAtTerminate);
    crashFilterBefore = SetUnhandledExceptionFilter(restoreAtCrash);
#endif
    writeStderrInTheBackground();
}

void restoreConsole() {
#ifdef _WIN32
    flushStderrLines(std::chrono::milliseconds(500));
    restoreCodePage();
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
