#include "platform/EndRequests.hpp"

#include "platform/Console.hpp"
#include "platform/Win32/WakeUp.hpp"

#include <commctrl.h>

#include <atomic>
#include <iostream>

namespace {

HANDLE endEvent = nullptr;

std::atomic<HWND> hookedWindow{nullptr}; // the console handler's thread reads it

// Saves on the game's own thread, whatever loop it is in; answers 1 once the board is on the disk.
const UINT saveOnTheWindowsThread = WM_APP + 1;

std::atomic<int> endsAsked{0};

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
        if (again) {
            if (!answeredBy(asked + 500)) {
                std::cerr << "Tangleroot: asked again to end before the disk answered; the board "
                             "was not saved\n";
            }
            flushStderrLines(std::chrono::milliseconds(500));
            ExitProcess(1);
        }
        return TRUE;
    }
    // The console is closing (logoff and shutdown reach the window instead,
    // since user32 is loaded): Windows ends the process once this returns,
    // about 5 s later. Windows may hold the frame loop in a modal loop of its
    // own (a drag, the system menu): after a second the window saves instead.
    const ULONGLONG deadline = asked + 4000;
    if (!answeredBy(asked + 1000)) {
        const HWND window = hookedWindow;
        if (window == nullptr) {
            answeredBy(deadline); // still starting: there is no board to lose yet
        } else {
            DWORD_PTR saved = 0;
            const ULONGLONG now = GetTickCount64();
            const UINT left = static_cast<UINT>(deadline > now ? deadline - now : 1);
            const bool sent = SendMessageTimeoutW(window, saveOnTheWindowsThread, 0, 0,
                                                  SMTO_NORMAL | SMTO_ABORTIFHUNG, left, &saved);
            if (!(sent && saved == 1) && !endAnswered()) {
                std::cerr << "Tangleroot: the console was closed before the board was saved; "
                             "it was not saved\n";
            }
        }
    }
    flushStderrLines(std::chrono::milliseconds(500));
    return TRUE;
}

// This file's part in the window procedure's chain of subclasses.
constexpr UINT_PTR sessionWatch = 3;

// Saves the board when the end of the session reaches the window.
LRESULT CALLBACK watchSessionEnd(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR) {
    if (message == WM_NCDESTROY) {
        hookedWindow = nullptr;
        RemoveWindowSubclass(window, watchSessionEnd, sessionWatch);
    }
    if (message == WM_QUERYENDSESSION) {
        return TRUE;
    }
    if (message == saveOnTheWindowsThread) {
        return saveIfHanded() ? 1 : 0;
    }
    if (message == WM_ENDSESSION) {
        if (wParam && !endAnswered()) {
            askForTheEnd();
            if (!saveIfHanded()) {
                std::cerr << "Tangleroot: the session ended; the board was not saved\n";
            }
            endRequestAnswered();
            // Windows ends the process once this returns
            flushStderrLines(std::chrono::milliseconds(500));
        }
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

void listenForEndRequests() {
    endEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

HANDLE wakeUpEvent() {
    return endEvent;
}

void wakeFrameLoop() {
    SetEvent(endEvent);
}

SaveBeforeTheEnd::SaveBeforeTheEnd(sf::WindowHandle window, std::function<bool()> saveNow)
    : window(window) {
    handOverSave(std::move(saveNow));
    SetWindowSubclass(window, watchSessionEnd, sessionWatch, 0);
    hookedWindow = window; // only now does the window answer the console handler
}

SaveBeforeTheEnd::~SaveBeforeTheEnd() {
    hookedWindow = nullptr;
    RemoveWindowSubclass(window, watchSessionEnd, sessionWatch);
    handOverSave(nullptr);
}
