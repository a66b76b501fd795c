#pragma once

#include "entities/Box.hpp"
#include "entities/Spider.hpp"

#include <SFML/System/Time.hpp>

#include <cstdint>
#include <string>
#include <vector>

// While a spider is held, its moves are drawn at most this many frames a second.
constexpr int framesPerSecond = 60;
const sf::Time framePeriod = sf::microseconds(1000000 / framesPerSecond);

// Where the window system does not tell when a covered window must be drawn
// again, the picture is drawn again this often, however quiet the board.
const sf::Time safetyRedraw = sf::seconds(1);

// While the window is minimized the loop wakes at most this often, and makes
// every wander step that came due meanwhile.
const sf::Time minimizedRest = sf::seconds(1);

// The wait for something that is not coming (no room for a box, no safety
// redraw): far beyond any other wake-up.
const sf::Time farAhead = sf::seconds(3600);

// Everything the picture shows, in one number: the place and picture of every
// spider and box in drawing order, the money, the notice, the line saying
// that saves fail and the one saying that the board came back from the backup.
std::uint64_t sceneSignature(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                             int money, const std::string& notice,
                             const std::string& failureLine = "",
                             const std::string& restoredLine = "");

// Whether a spider is held.
bool holdsSpider(const std::vector<Spider>& spiders);

// What the frame loop knows of a frame when it decides whether to draw it.
struct FrameAsk {
    std::uint64_t scene = 0; // sceneSignature of the board now
    bool redraw = false; // the window must be drawn again: input, an uncovered or restored window
    bool held = false;   // a spider is held: its moves wait for the frame period
    bool minimized = false; // nobody sees the window: nothing is drawn
};

// The frames drawn so far, on the caller's clock.
struct FrameSchedule {
    bool safetyRedraws = true;    // false where the window system tells of an uncovered window
    std::uint64_t drawnScene = 0; // the signature of the picture on screen
    bool drawnOnce = false;
    sf::Time drawnAt;
    sf::Time nextFrame; // the pacer: the soonest a held spider's next frame is drawn
};

// Whether the frame at `now` is drawn: the window shows, and the scene changed
// since the last drawn frame, a redraw is asked or the safety redraw is due.
// While a spider is held and nothing asks for a redraw, its moves are drawn
// only once the pacer's next frame has come.
bool frameNeedsDrawing(const FrameSchedule& schedule, const FrameAsk& ask, sf::Time now);

// Records the frame drawn at `now` showing `scene`, and advances the pacer:
// the next frame comes a period after the one that was due, never more than a
// period after `now`, and a loop that fell more than a period behind starts
// afresh rather than rushing to catch up.
void advancePastFrame(FrameSchedule& schedule, std::uint64_t scene, sf::Time now);

// How long from `now` until a scene that waits for its frame period may be
// drawn (zero: at once); `farAhead` when no scene waits, or the window is
// minimized.
sf::Time untilNextFrame(const FrameSchedule& schedule, const FrameAsk& ask, sf::Time now);

// How long from `now` until the safety redraw is due; far ahead where there is none.
sf::Time untilSafetyRedraw(const FrameSchedule& schedule, sf::Time now);

// What the loop may wake for after a frame, each as a time from now.
struct Waits {
    sf::Time frame = farAhead; // untilNextFrame
    sf::Time spawn = farAhead;
    sf::Time autosave = farAhead;
    sf::Time redraw = farAhead; // untilSafetyRedraw
};

// The longest the loop sleeps after a frame; an input event always ends the
// sleep sooner. The first of: a dropped spider's merge (at once), the next
// wander step of each spider before the first held one, and `waits`. While
// `minimized`, never less than `minimizedRest`.
sf::Time restAfterFrame(const std::vector<Spider>& spiders, const Waits& waits, bool minimized);
