#include "platform/EventWait.hpp"

#include "platform/Win32/Win32.hpp"

#include <commctrl.h>

#include <utility>

namespace {

constexpr UINT_PTR stateWatch = 2; // this file's part in the window's chain of subclasses

// A paint request is then answered by the default procedure, which marks the
// window as painted; the next frame draws it.
LRESULT CALLBACK noteWindowState(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data) {
    WindowState& seen = *reinterpret_cast<WindowState*>(data);
    if (message == WM_PAINT) {
        seen.redraw = true;
    } else if (message == WM_SIZE) {
        seen.redraw = seen.redraw || (seen.minimized && wParam != SIZE_MINIMIZED);
        seen.minimized = wParam == SIZE_MINIMIZED;
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, noteWindowState, stateWatch);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

struct EventWait::State {
    HWND window = nullptr;
    WindowState seen;
    // Leaves the system's timer resolution as it is, so the processor rests
    // (sf::sleep raises it). Without one, as before Windows 10 1803, up to a tick late.
    // 2 is CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, which MinGW's headers lack.
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, 2, TIMER_ALL_ACCESS);
};

EventWait::EventWait(sf::Window& window, const Desktop&) : state(std::make_unique<State>()) {
    state->window = window.getSystemHandle();
    state->seen.minimized = IsIconic(state->window);
    SetWindowSubclass(state->window, noteWindowState, stateWatch,
                      reinterpret_cast<DWORD_PTR>(&state->seen));
}

EventWait::~EventWait() {
    RemoveWindowSubclass(state->window, noteWindowState, stateWatch);
    if (state->timer) {
        CloseHandle(state->timer);
    }
}

void EventWait::sleep(sf::Time timeout) {
    if (timeout <= sf::Time::Zero || state->seen.redraw) {
        return;
    }
    HANDLE handles[2] = {wakeUpEvent(), state->timer};
    LARGE_INTEGER due;
    due.QuadPart = -10 * timeout.asMicroseconds(); // relative, in 100 ns
    const bool timed =
        state->timer && SetWaitableTimer(state->timer, &due, 0, nullptr, nullptr, FALSE);
    MsgWaitForMultipleObjectsEx(timed ? 2 : 1, handles,
                                timed ? INFINITE
                                      : static_cast<DWORD>((timeout.asMicroseconds() + 999) / 1000),
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

WindowState EventWait::takeWindowState() {
    return {std::exchange(state->seen.redraw, false),
            state->seen.minimized || IsIconic(state->window)};
}
