#include "platform/EventWait.hpp"

#include "platform/Win32/Win32.hpp"

#include <commctrl.h>

#include <utility>

namespace {

constexpr UINT_PTR newsWatch = 2; // this file's part in the window's chain of subclasses

// A paint request is then answered by the default procedure, which marks the
// window as painted; the next frame draws it.
LRESULT CALLBACK noteWindowNews(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR data) {
    WindowNews& news = *reinterpret_cast<WindowNews*>(data);
    if (message == WM_PAINT) {
        news.redraw = true;
    } else if (message == WM_SIZE) {
        news.redraw = news.redraw || (news.minimized && wParam != SIZE_MINIMIZED);
        news.minimized = wParam == SIZE_MINIMIZED;
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, noteWindowNews, newsWatch);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

struct EventWait::State {
    HWND window = nullptr;
    WindowNews news;
    // Leaves the system's timer resolution as it is, so the processor rests
    // (sf::sleep raises it). Without one, as before Windows 10 1803, up to a tick late.
    // 2 is CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, which MinGW's headers lack.
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, 2, TIMER_ALL_ACCESS);
};

EventWait::EventWait(sf::Window& window, const Desktop&) : state(std::make_unique<State>()) {
    state->window = window.getSystemHandle();
    state->news.minimized = IsIconic(state->window);
    SetWindowSubclass(state->window, noteWindowNews, newsWatch,
                      reinterpret_cast<DWORD_PTR>(&state->news));
}

EventWait::~EventWait() {
    RemoveWindowSubclass(state->window, noteWindowNews, newsWatch);
    if (state->timer) {
        CloseHandle(state->timer);
    }
}

void EventWait::sleep(sf::Time timeout) {
    if (timeout <= sf::Time::Zero || state->news.redraw) {
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

WindowNews EventWait::takeNews() {
    return {std::exchange(state->news.redraw, false),
            state->news.minimized || IsIconic(state->window)};
}
