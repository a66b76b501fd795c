#pragma once

#include "entities/Box.hpp"
#include "entities/Spider.hpp"

#include <SFML/System/Clock.hpp>

#include <cstdint>
#include <string>
#include <vector>

// The loop runs this many frames a second, drawn or not.
constexpr int framesPerSecond = 60;

// However quiet the board, the picture is drawn again this often, for window
// systems that lose it when the window is covered.
const sf::Time safetyRedraw = sf::seconds(1);

// Everything the picture shows, in one number: the place and picture of every
// spider and box in drawing order, the money, the notice, the line saying
// that saves fail and the one saying that the board came back from the backup.
std::uint64_t sceneSignature(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                             int money, const std::string& notice,
                             const std::string& failureLine = "",
                             const std::string& restoredLine = "");

struct DrawState {
    std::uint64_t drawnScene = 0; // the signature of the picture on screen
    bool drawnOnce = false;
    sf::Clock sinceDrawn;
};

// Whether this frame is drawn: the scene changed since the last drawn frame,
// an input event was handled, or the safety redraw is due. When it is, the
// scene counts as drawn.
bool frameNeedsDrawing(DrawState& state, std::uint64_t scene, bool inputHandled);

struct FramePacer {
    sf::Clock clock;
    sf::Time due;
};

// Sleeps until the next frame is due, whatever vertical sync does. A loop that
// fell behind starts afresh rather than rushing to catch up.
void waitForNextFrame(FramePacer& pacer);
