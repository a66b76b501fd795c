#include "platform/Console.hpp"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>

namespace {

UINT codePageBefore = 0;

// The console may be the player's own command prompt: give it back as it was.
void restoreCodePage() {
    SetConsoleOutputCP(codePageBefore);
}

} // namespace
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

void showMessageBox([[maybe_unused]] const std::string& line) {
#ifdef _WIN32
    const int size = MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide.data(), size);
    MessageBoxW(nullptr, wide.c_str(), L"Tangleroot", MB_OK | MB_ICONERROR);
#endif
}
