#pragma once

#include "platform/Display.hpp"

#include <SFML/System/Time.hpp>
#include <SFML/Window/Window.hpp>

#include <memory>

// What the window system said of the game's window.
struct WindowState {
    bool redraw = false;    // uncovered or restored: it must be drawn again
    bool minimized = false; // nobody can see it
};

// Where the wait cannot watch the window's connection, it looks at least this often.
const sf::Time shortestLook = sf::seconds(1.f / 60);

// The frame loop's sleep, woken by input, by what the window system says of
// the window, and by wakeFrameLoop. `desktop` must outlive it.
class EventWait {
public:
    EventWait(sf::Window& window, const Desktop& desktop);
    ~EventWait();
    EventWait(const EventWait&) = delete;
    EventWait& operator=(const EventWait&) = delete;

    void sleep(sf::Time timeout); // at once when an event is waiting already

    // What was said since the last call; call it after the window's events are read.
    WindowState takeWindowState();

private:
    struct State;
    std::unique_ptr<State> state;
};
