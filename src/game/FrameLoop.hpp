#pragma once

#include "game/Phases.hpp"
#include "platform/Display.hpp"
#include "platform/EventWait.hpp"

#include <SFML/System/Clock.hpp>
#include <SFML/System/Time.hpp>
#include <SFML/Window/Window.hpp>

#include <cstdint>
#include <functional>

// While a spider is dragged, its moves are drawn at most this many frames a second.
constexpr int framesPerSecond = 60;
const sf::Time framePeriod = sf::microseconds(1000000 / framesPerSecond);

// Where the window system does not tell when a covered window must be drawn
// again, the picture is drawn again this often, however quiet the board.
const sf::Time safetyRedraw = sf::seconds(1);

// While the window is minimized the loop wakes at most this often, and makes
// every wander step that came due meanwhile.
const sf::Time minimizedRest = sf::seconds(1);

// A wake this much later than the rest the loop asked for is not the loop's:
// the process was stopped, the machine paused or asleep. That time earns no
// catching up: each spider makes one step, as on a shown board.
const sf::Time wakeMargin = sf::milliseconds(250);

// What the frame loop knows of a frame when it decides whether to draw it.
struct FrameAsk {
    std::uint64_t scene = 0; // the signature of the picture now (Picture)
    bool redraw = false;   // the window must be drawn again: input, an uncovered or restored window
    bool dragging = false; // a spider is dragged: its moves wait for the frame period
    bool minimized = false; // nobody sees the window: nothing is drawn
};

// The frames drawn so far, on the caller's clock.
struct FrameSchedule {
    bool safetyRedraws = true;    // false where the window system tells of an uncovered window
    std::uint64_t drawnScene = 0; // the signature of the picture on screen
    bool drawnOnce = false;
    sf::Time drawnAt;
    sf::Time nextFrame; // the pacer: the soonest a dragged spider's next frame is drawn
};

// Whether the frame at `now` is drawn: the window shows, and the scene changed
// since the last drawn frame, a redraw is asked or the safety redraw is due.
// While a spider is dragged and nothing asks for a redraw, its moves are drawn
// only once the pacer's next frame has come.
bool frameNeedsDrawing(const FrameSchedule& schedule, const FrameAsk& ask, sf::Time now);

// Records the frame drawn at `now` showing `scene`, and advances the pacer:
// the next frame comes a period after the one that was due, never more than a
// period after `now`, and a loop that fell more than a period behind starts
// afresh rather than rushing to catch up.
void advancePastFrame(FrameSchedule& schedule, std::uint64_t scene, sf::Time now);

// What the world may wake the loop for, each as a time from now.
struct Waits {
    sf::Time spiders = farAhead; // untilSpidersMove
    sf::Time spawn = farAhead;   // untilSpawn
    sf::Time autosave = farAhead;
};

// The longest the loop sleeps after the frame `ask` at `now`; an input event
// always ends the sleep sooner. The first of `waits`, the pacer's next frame
// for a scene that waits for it, and the safety redraw. While minimized,
// never less than `minimizedRest`.
sf::Time restAfterFrame(const FrameSchedule& schedule, const FrameAsk& ask, const Waits& waits,
                        sf::Time now);

// The frame loop's pacing and waiting, on its own clock: main asks it whether
// to draw a frame, tells it that the frame was drawn, and asks it to sleep.
// Frames come when there is work, at most 60 a second while a spider is
// dragged; only those that change the picture are drawn, and none while the
// window is minimized. Between them the loop sleeps, woken by input, by what
// the window system says of the window, or by an end from outside.
class FrameLoop {
public:
    // What the loop learnt since the last frame.
    struct News {
        bool minimized = false; // nobody can see the window
        bool catchUp = false;   // minimized, and the loop woke as it asked: the
                                // spiders make every step that came due
    };

    // Made once `window` is open; `desktop` must outlive it. `now` is the
    // loop's clock; by default the time since the loop was made.
    using Now = std::function<sf::Time()>;
    FrameLoop(sf::Window& window, const Desktop& desktop, Now now = nullptr);

    // What the window system said of the window since the last call (a
    // redraw it asks for is kept for decideFrame), and whether the loop woke
    // within wakeMargin of the rest it asked for. Call it once a frame, after
    // the window's events are read, and only while the window is open.
    News takeNews();

    // Decides whether this frame is drawn, for the picture with signature
    // `picture`: true when it must be drawn now (frameNeedsDrawing). `redraw`
    // says that input asks for it; `dragging` that a spider is dragged.
    bool decideFrame(std::uint64_t picture, bool redraw, bool dragging);

    // The frame decideFrame asked for is on the screen. The pace counts from
    // when it was decided: a display that waits for the screen's refresh does
    // not put the next frame a period late.
    void drawn();

    // Sleeps until input, an end from outside, or restAfterFrame is over.
    void sleep(const Waits& waits);

private:
    EventWait wait;
    Now now;
    FrameSchedule schedule;
    FrameAsk ask;             // the frame last decided on
    sf::Time decidedAt;       // when
    bool redrawAsked = false; // by the window system, since the last frame decided on
    sf::Time lastLook;        // when takeNews last ran
    sf::Time restAsked;       // the rest the last sleep asked for
};
