#pragma once

#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "persistence/SaveWriter.hpp"

#include <SFML/System/Clock.hpp>
#include <SFML/Window/Window.hpp>

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

// A change to the board reaches the disk at most this long after it happens.
const sf::Time autosaveInterval = sf::seconds(2);

// What the frame loop knows of its saves.
struct SaveState {
    sf::Clock sinceAutosave;
    std::string lastHandedIn;      // the newest snapshot given to the writer
    std::uint64_t resultsSeen = 0; // the writer's results already acted on
    std::string lastProblem;       // the newest failure told on stderr
    std::string notice;            // shown over the board while the board is not saved
};

// Autosave: every `autosaveInterval`, or at once when `now`, hands the writer
// a snapshot of the board unless it is the one already on the disk. Also acts
// on the writer's results: a failure is told once on stderr, and a success
// clears the notice.
void autosave(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money,
              SaveWriter& writer, SaveState& state, bool now = false);

// Saves the board and waits until it is on the disk. On failure tells why on
// stderr and sets the notice; returns whether the board is saved.
bool saveAndWait(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money,
                 SaveWriter& writer, SaveState& state);

// The window's close button: saves and closes. When the save fails the window
// stays open with the notice, and closing it again quits without saving.
void handleCloseRequest(sf::Window& window, const std::vector<Spider>& spiders,
                        const std::vector<Box>& boxes, int money, SaveWriter& writer,
                        SaveState& state);

// The save before an end asked for from outside: saves, waits, and tells a
// console handler holding the process open that it may let it go.
void saveForEnd(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money,
                SaveWriter& writer, SaveState& state);

// An end asked for from outside the window: saves, waits, closes.
void endOnRequest(sf::Window& window, const std::vector<Spider>& spiders,
                  const std::vector<Box>& boxes, int money, SaveWriter& writer, SaveState& state);

// An error that stopped the frame loop: keeps the board if it still can, then
// tells the error in one line. Returns the exit status.
int endAfterError(const std::exception& error, const std::vector<Spider>& spiders,
                  const std::vector<Box>& boxes, int money, SaveWriter& writer, SaveState& state);

// The exit status: 0 when the board was saved at the end.
int exitStatus(const SaveState& state);
