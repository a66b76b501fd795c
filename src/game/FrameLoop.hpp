#pragma once

#include "game/Phases.hpp"
#include "platform/Display.hpp"
#include "platform/EventWait.hpp"

#include <SFML/System/Time.hpp>
#include <SFML/Window/Window.hpp>

#include <cstdint>
#include <functional>

// A dragged spider is drawn once a refresh of the screen, or 60 times a
// second where the system does not tell its rate.
sf::Time framePeriodAt(float refreshRate);

// While minimized the loop wakes at most this often, and makes every wander
// step that came due meanwhile.
const sf::Time minimizedRest = sf::seconds(1);

// A wake this much later than the rest asked for is not the loop's (a stopped
// process, a machine asleep): that time earns each spider one step, as on a
// shown board.
const sf::Time wakeMargin = sf::milliseconds(250);

struct FrameAsk {
    std::uint64_t scene = 0; // the picture's signature
    bool redraw = false;     // input, an uncovered or restored window
    bool dragging = false;   // moves wait for the frame period
    bool minimized = false;  // nothing is drawn
};

struct FrameSchedule {
    sf::Time period = framePeriodAt(0);
    std::uint64_t drawnScene = 0;
    bool drawnOnce = false;
    sf::Time nextFrame; // the soonest a dragged spider's next frame is drawn
};

bool frameNeedsDrawing(const FrameSchedule& schedule, const FrameAsk& ask, sf::Time now);

// The next frame comes a period after the one that was due, never more than a
// period after `now`; a loop that fell behind starts afresh rather than rushing.
void advancePastFrame(FrameSchedule& schedule, std::uint64_t scene, sf::Time now);

struct Waits {
    sf::Time spiders = farAhead;
    sf::Time spawn = farAhead;
    sf::Time saving = farAhead;
};

// The longest the loop sleeps; input always ends it sooner. While minimized,
// never less than minimizedRest.
sf::Time restAfterFrame(const FrameSchedule& schedule, const FrameAsk& ask, const Waits& waits,
                        sf::Time now);

// Pacing and waiting on the loop's own clock: main asks whether to draw,
// tells it a frame was drawn, and asks it to sleep.
class FrameLoop {
public:
    using Now = std::function<sf::Time()>;
    FrameLoop(sf::Window& window, const Desktop& desktop, Now now = nullptr);

    // Once a frame, after the window's events: whether the spiders catch up on
    // the steps that came due while minimized (the loop woke as it asked).
    bool startFrame();

    bool decideFrame(std::uint64_t picture, bool redraw, bool dragging);

    // The pace counts from when the frame was decided: a display that waits
    // for the screen's refresh does not put the next frame a period late.
    void drawn();

    void sleep(const Waits& waits);

private:
    EventWait wait;
    Now now;
    FrameSchedule schedule;
    FrameAsk ask; // the frame last decided on
    sf::Time decidedAt;
    bool redrawAsked = false; // by the window system, since the last frame decided on
    sf::Time lastLook;        // when startFrame last ran
    sf::Time restAsked;
};
