#include "platform/EndRequests.hpp"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace {

// Lock-free, so a signal handler may set them.
std::atomic<bool> endAsked{false};
std::atomic<bool> endHandled{false};

#ifdef _WIN32

BOOL WINAPI onConsoleEvent(DWORD event) {
    endAsked = true;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        return TRUE; // the game closes itself
    }
    // The console is closing, or the session ends: Windows ends the process
    // once this returns, and allows about 5 seconds. Wait for the save.
    for (int waited = 0; waited < 4500 && !endHandled; waited += 10) {
        Sleep(10);
    }
    return TRUE;
}

WNDPROC windowProcedure = nullptr;
std::function<void()> saveBeforeSessionEnds;

LRESULT CALLBACK watchSessionEnd(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) {
        return TRUE;
    }
    if (message == WM_ENDSESSION) {
        if (wParam && !endHandled) {
            endAsked = true;
            saveBeforeSessionEnds();
        }
        return 0;
    }
    return CallWindowProcW(windowProcedure, window, message, wParam, lParam);
}

#else

extern "C" void onEndSignal(int) {
    endAsked = true;
}

#endif

} // namespace

void listenForEndRequests() {
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
#endif
}

bool endRequested() {
    return endAsked;
}

void endRequestHandled() {
    endHandled = true;
}

void saveAtSessionEnd([[maybe_unused]] sf::WindowHandle window,
                      [[maybe_unused]] std::function<void()> saveNow) {
#ifdef _WIN32
    saveBeforeSessionEnds = std::move(saveNow);
    windowProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&watchSessionEnd)));
#endif
}
