#include "platform/EventWait.hpp"

#include "platform/Win32/WakeUp.hpp"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <utility>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

struct Notes {
    bool redraw = false, minimized = false;
};

constexpr UINT_PTR newsWatch = 2; // this file's part in the window's chain of subclasses

// A paint request is then answered by the default procedure, which marks the
// window as painted; the next frame draws it.
LRESULT CALLBACK noteWindowNews(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR data) {
    Notes& notes = *reinterpret_cast<Notes*>(data);
    if (message == WM_PAINT) {
        notes.redraw = true;
    } else if (message == WM_SIZE) {
        notes.redraw = notes.redraw || (notes.minimized && wParam != SIZE_MINIMIZED);
        notes.minimized = wParam == SIZE_MINIMIZED;
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, noteWindowNews, newsWatch);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

struct EventWait::State {
    HANDLE timer = nullptr;
    HWND window = nullptr;
    Notes notes;
};

EventWait::EventWait(sf::Window& window, const Desktop&) : state(std::make_unique<State>()) {
    state->window = window.getSystemHandle();
    state->notes.minimized = IsIconic(state->window);
    SetWindowSubclass(state->window, noteWindowNews, newsWatch,
                      reinterpret_cast<DWORD_PTR>(&state->notes));
    // A precise timer of its own leaves the system's timer resolution as it
    // is, which lets the processor rest (sf::sleep raises it at every call).
    // Older Windows lack it; the plain one is late by up to a tick.
    state->timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (!state->timer) {
        state->timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }
}

EventWait::~EventWait() {
    RemoveWindowSubclass(state->window, noteWindowNews, newsWatch);
    if (state->timer) {
        CloseHandle(state->timer);
    }
}

void EventWait::sleep(sf::Time timeout) {
    if (timeout <= sf::Time::Zero || state->notes.redraw) {
        return;
    }
    HANDLE handles[2];
    DWORD count = 0;
    DWORD milliseconds = static_cast<DWORD>((timeout.asMicroseconds() + 999) / 1000);
    LARGE_INTEGER due;
    due.QuadPart = -10 * timeout.asMicroseconds(); // relative, in 100 ns
    if (state->timer && SetWaitableTimer(state->timer, &due, 0, nullptr, nullptr, FALSE)) {
        handles[count++] = state->timer;
        milliseconds = INFINITE;
    }
    if (HANDLE end = wakeUpEvent()) {
        handles[count++] = end;
    }
    if (MsgWaitForMultipleObjectsEx(count, handles, milliseconds, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE) == WAIT_FAILED) {
        Sleep(static_cast<DWORD>(std::min(timeout, shortestLook).asMilliseconds()));
    }
}

WindowNews EventWait::takeNews() {
    return {std::exchange(state->notes.redraw, false),
            state->notes.minimized || IsIconic(state->window)};
}

bool EventWait::tellsUncovering() const {
    return true;
}
