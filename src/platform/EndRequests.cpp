#include "platform/EndRequests.hpp"

#include "platform/Console.hpp"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#ifdef _WIN32
#include <windows.h>

#include <commctrl.h>
#else
#include <X11/Xlib.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace {

// Lock-free, so a signal handler may set them.
std::atomic<bool> endAsked{false};
std::atomic<bool> endAnswered{false};

// The save of the living SaveBeforeTheEnd; empty when there is none. Only the
// game's own thread reads or changes it.
std::function<bool()> saveBeforeTheEnd;

// Runs the save, if there is one, and says whether the board is on the disk.
// Called from the operating system's code, which no exception may cross: one
// that cannot save leaves the board as the last save has it.
bool saveIfHanded() {
    try {
        return saveBeforeTheEnd && saveBeforeTheEnd();
    } catch (...) {
        return false;
    }
}

#ifdef _WIN32

HANDLE endEvent = nullptr; // set at each request, for a sleeping frame loop

std::atomic<HWND> hookedWindow{nullptr}; // the console handler's thread reads it

// Sent to the game's window by the console handler: saves on the game's own
// thread, whatever loop it is in, and answers 1 once the board is on the disk.
const UINT saveOnTheWindowsThread = WM_APP + 1;

// Waits until the frame loop has answered an end request, at most `bound`
// milliseconds; returns whether it has.
bool answeredWithin(int bound) {
    for (int waited = 0; waited < bound && !endAnswered; waited += 10) {
        Sleep(10);
    }
    return endAnswered;
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    endAsked = true;
    wakeFrameLoop();
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        return TRUE; // the game closes itself
    }
    // The console is closing, or the session ends: Windows ends the process
    // once this returns, and allows about 5 seconds. The frame loop saves and
    // answers at once, unless Windows holds it in a modal loop of its own (a
    // drag of the window, its system menu): after a second the window, whose
    // procedure such a loop still runs, saves instead. Every wait is bounded,
    // so the console is left as it was found before the 5 seconds run out.
    if (!answeredWithin(1000)) {
        const HWND window = hookedWindow;
        DWORD_PTR saved = 0;
        if (window == nullptr) {
            answeredWithin(2500); // still starting: the loop may yet come
        } else if (SendMessageTimeoutW(window, saveOnTheWindowsThread, 0, 0,
                                       SMTO_NORMAL | SMTO_ABORTIFHUNG, 2500, &saved) &&
                   saved == 0 && !endAnswered) {
            std::cerr << "Tangleroot: the console was closed; the board was not saved\n";
        }
    }
    restoreConsole();
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
        if (wParam && !endAnswered) {
            endAsked = true;
            wakeFrameLoop();
            if (!saveIfHanded()) {
                std::cerr << "Tangleroot: the session ended; the board was not saved\n";
            }
            endAnswered = true;
            restoreConsole(); // Windows ends the process once this returns
        }
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

#else

int wakePipe[2] = {-1, -1}; // a byte at each request, for a sleeping frame loop

extern "C" void onEndSignal(int) {
    endAsked = true;
    wakeFrameLoop();
}

// Xlib calls this on the thread that found the connection gone and ends the
// process when it returns, so it saves and ends the process itself. It makes
// no X call: the connection is dead.
extern "C" int onDisplayLost(Display*) {
    const bool saved = saveIfHanded();
    std::fputs(saved ? "Tangleroot cannot go on: the connection to the X display was lost; the "
                       "board was saved\n"
                     : "Tangleroot cannot go on: the connection to the X display was lost; the "
                       "board was not saved\n",
               stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

#endif

} // namespace

void listenForEndRequests() {
#ifdef _WIN32
    endEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    if (wakePipe[0] < 0 && pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakePipe[0] = wakePipe[1] = -1; // then a request waits for the next frame
    }
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction before {};
        // One the player's shell told the game to ignore stays ignored.
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal, &action, nullptr);
    }
    XSetIOErrorHandler(onDisplayLost);
#endif
}

#ifdef _WIN32
void* endRequestEvent() {
    return endEvent;
}
#else
int endRequestPipe() {
    return wakePipe[0];
}
#endif

void wakeFrameLoop() {
#ifdef _WIN32
    SetEvent(endEvent);
#else
    // Safe in a signal handler; a full pipe wakes the loop already.
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = write(wakePipe[1], "!", 1);
    errno = saved;
#endif
}

bool endRequested() {
    return endAsked;
}

void endRequestAnswered() {
    endAnswered = true;
}

SaveBeforeTheEnd::SaveBeforeTheEnd(sf::WindowHandle window, std::function<bool()> saveNow)
    : window(window) {
    saveBeforeTheEnd = std::move(saveNow);
#ifdef _WIN32
    SetWindowSubclass(window, watchSessionEnd, sessionWatch, 0);
    hookedWindow = window; // only now does the window answer the console handler
#endif
}

SaveBeforeTheEnd::~SaveBeforeTheEnd() {
#ifdef _WIN32
    hookedWindow = nullptr;
    RemoveWindowSubclass(window, watchSessionEnd, sessionWatch);
#endif
    saveBeforeTheEnd = nullptr;
}
