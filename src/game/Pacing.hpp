#pragma once

#include "entities/Box.hpp"
#include "entities/Spider.hpp"

#include <SFML/System/Clock.hpp>

#include <cstdint>
#include <string>
#include <vector>

// While a spider is held, the loop runs this many frames a second.
constexpr int framesPerSecond = 60;

// Where the window system does not tell when a covered window must be drawn
// again, the picture is drawn again this often, however quiet the board.
const sf::Time safetyRedraw = sf::seconds(1);

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

struct DrawState {
    bool safetyRedraws = true;    // false where the window system tells of an uncovered window
    std::uint64_t drawnScene = 0; // the signature of the picture on screen
    bool drawnOnce = false;
    sf::Time drawnAt; // on the caller's clock
};

// Whether the frame at `now` is drawn: the scene changed since the last drawn
// frame, the window must be drawn again (an input event, an uncovered
// window), or the safety redraw is due. When it is, the scene counts as drawn.
bool frameNeedsDrawing(DrawState& state, std::uint64_t scene, bool redraw, sf::Time now);

// How long from `now` until the safety redraw is due; far ahead where there is none.
sf::Time untilSafetyRedraw(const DrawState& state, sf::Time now);

struct FramePacer {
    sf::Clock clock;
    sf::Time due;
};

// How long until the next frame at `framesPerSecond`, whatever vertical sync
// does; the frame after it is due one period later. A loop that fell behind,
// or that slept on other things, starts afresh rather than rushing to catch up.
sf::Time untilNextFrame(FramePacer& pacer);

// The frame loop's sleep after a frame.
struct Rest {
    sf::Time timeout; // at most this long
    bool untilInput;  // or until an input event comes
};

// The sleep after a frame. While a spider is held: until its next frame,
// `untilFrame`, input being read then, as a held spider is drawn 60 times a
// second. Otherwise until an input event or, sooner, the first of: a dropped
// spider's merge (at once), the next wander step, `untilSpawn`,
// `untilAutosave` and `untilRedraw`.
Rest restAfterFrame(const std::vector<Spider>& spiders, sf::Time untilFrame, sf::Time untilSpawn,
                    sf::Time untilAutosave, sf::Time untilRedraw);
