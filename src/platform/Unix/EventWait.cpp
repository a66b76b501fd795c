#include "platform/EventWait.hpp"

#include "platform/Unix/X11.hpp"

#include <GL/glx.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <utility>

struct EventWait::State {
    Display* windowDisplay = nullptr; // the connection SFML reads the window's events from
    ::Window window = 0;
    Display* own = nullptr; // the desktop's, told what becomes of the window
    bool shown = true;
};

namespace {

// Xlib may hold events it read while waiting for a reply, which the socket no
// longer shows. Events for other windows, which SFML never takes, do not count.
bool eventQueuedFor(Display* display, ::Window window) {
    XFlush(display);
    std::pair<::Window, bool> scan{window, false};
    XEvent event;
    XCheckIfEvent(
        display, &event,
        [](Display*, XEvent* queued, XPointer arg) {
            auto* scan = reinterpret_cast<std::pair<::Window, bool>*>(arg);
            scan->second = scan->second || queued->xany.window == scan->first;
            return False; // every event stays queued for SFML
        },
        reinterpret_cast<XPointer>(&scan));
    return scan.second;
}

// icewm unmaps a minimized window, mutter keeps it mapped. One that dies
// leaves WM_STATE Iconic: the states count only while one runs.
bool onScreen(Display* x, ::Window window) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(x, window, &attributes) == 0) {
        return true;
    }
    const std::vector<long> wmState = cardinals(x, window, "WM_STATE");
    const std::vector<long> netWmState = cardinals(x, window, "_NET_WM_STATE");
    const long hidden = static_cast<long>(XInternAtom(x, "_NET_WM_STATE_HIDDEN", False));
    const bool minimized = (!wmState.empty() && wmState[0] == IconicState) ||
                           std::count(netWmState.begin(), netWmState.end(), hidden) > 0;
    return attributes.map_state == IsViewable &&
           !(minimized && windowsAreManaged(x, DefaultRootWindow(x)));
}

} // namespace

EventWait::EventWait(sf::Window& window, const Desktop& desktop)
    : state(new State{nullptr, window.getSystemHandle(), desktop.connection()->x}) {
    // SFML 2.5 does not hand out its connection, but its window draws through it.
    window.setActive(true);
    state->windowDisplay = glXGetCurrentDisplay(); // none while no context is current
    // Told first, then asked: no change falls between the two.
    XSelectInput(state->own, state->window,
                 ExposureMask | StructureNotifyMask | PropertyChangeMask);
    state->shown = onScreen(state->own, state->window);
}

EventWait::~EventWait() = default;

void EventWait::sleep(sf::Time timeout) {
    const State& s = *state;
    const sf::Time longest = s.windowDisplay ? timeout : std::min(timeout, shortestLook);
    if (longest <= sf::Time::Zero || XPending(s.own) > 0 ||
        (s.windowDisplay && eventQueuedFor(s.windowDisplay, s.window))) {
        return;
    }
    pollfd watched[3] = {{wakeUpPipe(), POLLIN, 0},
                         {ConnectionNumber(s.own), POLLIN, 0},
                         {s.windowDisplay ? ConnectionNumber(s.windowDisplay) : -1, POLLIN, 0}};
    const long long microseconds = longest.asMicroseconds();
    const timespec wait{static_cast<time_t>(microseconds / 1000000),
                        static_cast<long>(microseconds % 1000000 * 1000)};
    ppoll(watched, 3, &wait, nullptr);
    // The end request itself is read by the loop; its bytes only wake.
    char bytes[16];
    while (watched[0].fd >= 0 && read(watched[0].fd, bytes, sizeof bytes) > 0) {
    }
}

WindowState EventWait::takeWindowState() {
    State& s = *state;
    WindowState seen;
    bool placed = false; // mapped, unmapped, reparented, minimized or restored
    while (XPending(s.own) > 0) {
        XEvent event;
        XNextEvent(s.own, &event);
        if (event.xany.window != s.window) {
            continue; // what the window manager said of the frame at start-up
        }
        const Atom property = event.type == PropertyNotify ? event.xproperty.atom : None;
        seen.redraw = seen.redraw || event.type == Expose;
        placed = placed || event.type == MapNotify || event.type == UnmapNotify ||
                 event.type == ReparentNotify ||
                 property == XInternAtom(s.own, "WM_STATE", False) ||
                 property == XInternAtom(s.own, "_NET_WM_STATE", False);
    }
    // Only a viewable window is exposed: one whose frame the window manager
    // maps after it tells of the window itself.
    const bool was = s.shown;
    s.shown = placed ? onScreen(s.own, s.window) : s.shown || seen.redraw;
    seen.redraw = seen.redraw || (s.shown && !was);
    seen.minimized = !s.shown;
    return seen;
}
