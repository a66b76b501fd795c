#include "platform/EventWait.hpp"

#include "platform/EndRequests.hpp"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <ctime>
#endif

namespace {

const sf::Time framePeriod = sf::seconds(1.f / 60);

} // namespace

#ifdef _WIN32

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

struct EventWait::State {
    HANDLE timer = nullptr;
    HWND window = nullptr;
};

namespace {

// Whether Windows asks for a part of the window to be painted (it was
// uncovered, or restored from the taskbar). The loop draws it, so the request
// is taken as answered: a WM_PAINT left waiting would wake every sleep.
bool takePaintRequest(HWND window) {
    if (!GetUpdateRect(window, nullptr, FALSE)) {
        return false;
    }
    ValidateRect(window, nullptr);
    return true;
}

} // namespace

EventWait::EventWait(sf::Window& window, const Desktop&) : state(std::make_unique<State>()) {
    state->window = window.getSystemHandle();
    // A precise timer of its own: the system's timer resolution stays as it
    // is, which lets the processor rest (sf::sleep raises it at every call).
    // Older Windows lack the precise kind; the plain one is late by up to a
    // tick, which only a held spider's frames notice.
    state->timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (!state->timer) {
        state->timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }
}

EventWait::~EventWait() {
    if (state->timer) {
        CloseHandle(state->timer);
    }
}

bool EventWait::sleep(sf::Time timeout, bool untilInput) {
    if (takePaintRequest(state->window)) {
        return true;
    }
    if (timeout <= sf::Time::Zero) {
        return false;
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
    if (HANDLE end = static_cast<HANDLE>(endRequestEvent())) {
        handles[count++] = end;
    }
    const DWORD woken = MsgWaitForMultipleObjectsEx(
        count, handles, milliseconds, untilInput ? QS_ALLINPUT : 0, MWMO_INPUTAVAILABLE);
    if (woken == WAIT_FAILED) {
        Sleep(static_cast<DWORD>(std::min(timeout, framePeriod).asMilliseconds()));
    }
    return takePaintRequest(state->window);
}

bool EventWait::tellsUncovering() const {
    return true;
}

#else

struct EventWait::State {
    Display* windowDisplay = nullptr; // the connection SFML reads the window's events from
    ::Window window = 0;
    Display* own = nullptr; // the desktop's, told when the window is uncovered
};

namespace {

struct Scan {
    ::Window window;
    bool found;
};

Bool markIfForWindow(Display*, XEvent* event, XPointer arg) {
    Scan* scan = reinterpret_cast<Scan*>(arg);
    scan->found = scan->found || event->xany.window == scan->window;
    return False; // every event stays queued for SFML
}

// Whether an event for `window` is queued, once the requests made so far are
// sent and what has come is read. Xlib may hold events it read while waiting
// for a reply, which the connection's socket no longer shows. Events for
// other windows, which SFML never takes, do not count.
bool eventQueuedFor(Display* display, ::Window window) {
    XFlush(display);
    Scan scan{window, false};
    XEvent event;
    XCheckIfEvent(display, &event, markIfForWindow, reinterpret_cast<XPointer>(&scan));
    return scan.found;
}

// Takes every event of the game's own connection; whether one said that a
// part of the window was uncovered. What else comes there (what the window
// manager said of the frame at start-up) is of no more use.
bool takeExposures(Display* own) {
    bool exposed = false;
    while (XPending(own) > 0) {
        XEvent event;
        XNextEvent(own, &event);
        exposed = exposed || event.type == Expose;
    }
    return exposed;
}

} // namespace

EventWait::EventWait(sf::Window& window, const Desktop& desktop)
    : state(std::make_unique<State>()) {
    state->window = window.getSystemHandle();
    // SFML 2.5 does not hand out its connection, but its window draws through it.
    if (window.setActive(true)) {
        state->windowDisplay = glXGetCurrentDisplay();
    }
    // Any number of clients may be told of a window's exposure.
    state->own = desktop.x11Connection();
    if (state->own) {
        XSelectInput(state->own, state->window, ExposureMask);
        XFlush(state->own);
    }
}

EventWait::~EventWait() = default;

bool EventWait::sleep(sf::Time timeout, bool untilInput) {
    State& s = *state;
    if (!s.windowDisplay) {
        untilInput = false;
        timeout = std::min(timeout, framePeriod);
    }
    if (s.own && takeExposures(s.own)) {
        return true;
    }
    if (timeout <= sf::Time::Zero || (untilInput && eventQueuedFor(s.windowDisplay, s.window))) {
        return false;
    }
    pollfd watched[3];
    nfds_t count = 0;
    const int endPipe = endRequestPipe();
    if (endPipe >= 0) {
        watched[count++] = {endPipe, POLLIN, 0};
    }
    if (s.own) {
        watched[count++] = {ConnectionNumber(s.own), POLLIN, 0};
    }
    if (untilInput) {
        watched[count++] = {ConnectionNumber(s.windowDisplay), POLLIN, 0};
    }
    const long long microseconds = timeout.asMicroseconds();
    const timespec wait{static_cast<time_t>(microseconds / 1000000),
                        static_cast<long>(microseconds % 1000000 * 1000)};
    ppoll(watched, count, &wait, nullptr);
    if (endPipe >= 0 && watched[0].revents != 0) {
        char bytes[16];
        while (read(endPipe, bytes, sizeof bytes) > 0) {
        }
    }
    return s.own && takeExposures(s.own);
}

bool EventWait::tellsUncovering() const {
    return state->own != nullptr;
}

#endif
