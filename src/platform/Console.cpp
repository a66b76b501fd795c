#include "platform/Console.hpp"

#ifdef _WIN32
#include <windows.h>
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

void showMessageBox([[maybe_unused]] const std::string& line) {
#ifdef _WIN32
    MessageBoxA(nullptr, line.c_str(), "Tangleroot", MB_OK | MB_ICONERROR);
#endif
}
