#pragma once

#include "platform/Display.hpp"

#include <SFML/System/Time.hpp>
#include <SFML/Window/Window.hpp>

#include <memory>

// The frame loop's sleep between frames, woken by what it waits for. On X11
// it waits on the connection the window reads its events from, and watches
// over the desktop's connection, the game's own, for the window being
// uncovered; on Windows it
// waits on the thread's message queue, which also asks for uncovered or
// restored windows to be painted. An end asked for from outside
// (listenForEndRequests) wakes it too. Where neither can be had, it sleeps at
// most a 60th of a second, as a loop reading input 60 times a second does.
class EventWait {
public:
    // Made once `window` is open; `desktop` must outlive it.
    EventWait(sf::Window& window, const Desktop& desktop);
    ~EventWait();
    EventWait(const EventWait&) = delete;
    EventWait& operator=(const EventWait&) = delete;

    // Sleeps for `timeout` or until an end is asked for, and when
    // `untilInput`, until an event for the window comes. Returns whether the
    // window was uncovered meanwhile and must be drawn again.
    bool sleep(sf::Time timeout, bool untilInput);

    // Whether an uncovered window is told. Where it is not (an X desktop
    // without a connection), the picture must be drawn again now and then.
    bool tellsUncovering() const;

private:
    struct State;
    std::unique_ptr<State> state;
};
