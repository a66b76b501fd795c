#pragma once

#include "platform/Display.hpp"

#include <SFML/System/Time.hpp>
#include <SFML/Window/Window.hpp>

#include <memory>

// What the window system said of the game's window.
struct WindowNews {
    bool redraw = false;    // uncovered or restored: it must be drawn again
    bool minimized = false; // nobody can see it
};

// The frame loop's sleep between frames, woken by input and by what the
// window system says of the window. On X11 it waits on the connection the
// window reads its events from, and on the desktop's connection, the game's
// own, which is told when the window is uncovered, mapped, unmapped or
// iconified; on Windows it waits on the thread's message queue, and the
// window's procedure notes paint requests and minimizing as they come. An end
// asked for from outside (listenForEndRequests) wakes it too. Where no
// connection can be had, it sleeps at most a 60th of a second, as a loop
// reading input 60 times a second does.
//
// Where the wait cannot watch the window's connection, it looks at least this often.
const sf::Time shortestLook = sf::seconds(1.f / 60);

class EventWait {
public:
    // Made once `window` is open; `desktop` must outlive it.
    EventWait(sf::Window& window, const Desktop& desktop);
    ~EventWait();
    EventWait(const EventWait&) = delete;
    EventWait& operator=(const EventWait&) = delete;

    // Sleeps until `timeout` has passed, an event for the window comes or an
    // end is asked for; returns at once when one is waiting already.
    void sleep(sf::Time timeout);

    // What the window system said of the window since the last call: whether
    // it must be drawn again, and whether it is minimized now. Call it after
    // the window's events are read.
    WindowNews takeNews();

    // Whether an uncovered window is told. Where it is not (an X desktop
    // without a connection), the picture must be drawn again now and then.
    bool tellsUncovering() const;

private:
    struct State;
    std::unique_ptr<State> state;
};
