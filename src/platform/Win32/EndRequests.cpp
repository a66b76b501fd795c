#include "platform/EndRequests.hpp"

#include "platform/Console.hpp"
#include "platform/Win32/WakeUp.hpp"

#include <commctrl.h>

#include <atomic>
#include <iostream>

namespace {

HANDLE endEvent = nullptr;

std::atomic<HWND> hookedWindow{nullptr}; // the console handler's thread reads it

// Sent to the game's window by the console handler: saves on the game's own
// thread, whatever loop it is in, and answers 1 once the board is on the disk.
const UINT saveOnTheWindowsThread = WM_APP + 1;

// Waits until the frame loop has answered an end request, at most `bound`
// milliseconds; returns whether it has.
bool answeredWithin(int bound) {
    for (int waited = 0; waited < bound && !endAnswered(); waited += 10) {
        Sleep(10);
    }
    return endAnswered();
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    askForTheEnd();
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        return TRUE; // the game closes itself
    }
    // The console is closing, or the session ends: Windows ends the process
    // once this returns, and allows about 5 seconds. The frame loop saves and
    // answers at once, unless Windows holds it in a modal loop of its own (a
    // drag of the window, its system menu): after a second the window, whose
    // procedure such a loop still runs, saves instead. Every wait is bounded,
    // so what the game had to say is out before the 5 seconds run out.
    if (!answeredWithin(1000)) {
        const HWND window = hookedWindow;
        DWORD_PTR saved = 0;
        if (window == nullptr) {
            answeredWithin(2500); // still starting: the loop may yet come
        } else if (SendMessageTimeoutW(window, saveOnTheWindowsThread, 0, 0,
                                       SMTO_NORMAL | SMTO_ABORTIFHUNG, 2500, &saved) &&
                   saved == 0 && !endAnswered()) {
            std::cerr << "Tangleroot: the console was closed; the board was not saved\n";
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
