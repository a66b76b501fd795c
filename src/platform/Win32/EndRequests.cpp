#include "platform/EndRequests.hpp"

#include "platform/Console.hpp"
#include "platform/Win32/Win32.hpp"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <iostream>

namespace {

std::atomic<HWND> hookedWindow{nullptr}; // the console handler's thread reads it
std::atomic<int> endsAsked{0};

// Saves on the game's own thread, whatever loop it is in; answers 1 once the board is on the disk.
const UINT saveOnTheWindowsThread = WM_APP + 1;
constexpr UINT_PTR sessionWatch = 3; // this file's part in the window's chain of subclasses

bool answeredBy(ULONGLONG deadline) {
    while (!endAnswered() && GetTickCount64() < deadline) {
        Sleep(10);
    }
    return endAnswered();
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    const ULONGLONG asked = GetTickCount64();
    const bool again = endsAsked++ > 0;
    askForTheEnd();
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        // The game ends itself. Asked again before it has, it quits: the write
        // is atomic, and the next start removes what it left.
        if (!again) {
            return TRUE;
        }
        if (!answeredBy(asked + 500)) {
            std::cerr << "Tangleroot: asked again to end before the disk answered; the board was "
                         "not saved\n";
        }
        flushStderrLines(std::chrono::milliseconds(500));
        ExitProcess(1);
    }
    // The console is closing (a logoff reaches the window instead): Windows
    // ends the process when this returns, or 5 s on. A modal loop of Windows'
    // own (a drag, the menu) may hold the frame loop: after 1 s the window saves.
    const HWND window = answeredBy(asked + 1000) ? nullptr : hookedWindow.load();
    const auto left = static_cast<LONGLONG>(asked + 4000 - GetTickCount64());
    DWORD_PTR saved = 0;
    if (window == nullptr) {
        answeredBy(asked + 4000); // still starting: there is no board to lose yet
    } else if (!(SendMessageTimeoutW(window, saveOnTheWindowsThread, 0, 0,
                                     SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                     static_cast<UINT>(std::max<LONGLONG>(left, 1)), &saved) &&
                 saved == 1) &&
               !endAnswered()) {
        std::cerr << "Tangleroot: the console was closed before the board was saved; it was not "
                     "saved\n";
    }
    flushStderrLines(std::chrono::milliseconds(500));
    return TRUE;
}

// Saves the board when the end of the session reaches the window.
LRESULT CALLBACK watchSessionEnd(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR) {
    if (message == WM_NCDESTROY) {
        hookedWindow = nullptr;
        RemoveWindowSubclass(window, watchSessionEnd, sessionWatch);
    } else if (message == saveOnTheWindowsThread) {
        return saveIfHanded() ? 1 : 0;
    } else if (message == WM_ENDSESSION) {
        if (wParam && !endAnswered()) {
            askForTheEnd();
            if (!saveIfHanded()) {
                std::cerr << "Tangleroot: the session ended; the board was not saved\n";
            }
            endRequestAnswered();
            flushStderrLines(std::chrono::milliseconds(500)); // Windows ends the process next
        }
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

void listenForEndRequests() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

HANDLE wakeUpEvent() {
    static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return event;
}

void wakeFrameLoop() {
    SetEvent(wakeUpEvent());
}

void watchTheEnd(sf::WindowHandle window) {
    if (window != nullptr) {
        SetWindowSubclass(window, watchSessionEnd, sessionWatch, 0);
        hookedWindow = window; // only now does the window answer the console handler
    } else if (const HWND hooked = hookedWindow.exchange(nullptr)) {
        RemoveWindowSubclass(hooked, watchSessionEnd, sessionWatch);
    }
}
