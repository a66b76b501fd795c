#pragma once

#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "persistence/SaveFile.hpp"
#include "persistence/SaveWriter.hpp"

#include <SFML/System/Clock.hpp>
#include <SFML/Window/Window.hpp>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

// What the player did is handed to the writer at most this long after it
// happens, which leaves the write half a second to be on the disk within 2 s;
// so is the next try after a save that failed.
const sf::Time autosaveInterval = sf::seconds(1.5f);

// Changes from wandering alone (spiders' places and what they earn) reach the
// disk at most this long after they happen.
const sf::Time wanderingSaveInterval = sf::seconds(30);

// What changed the board in a frame, which says how soon it is saved.
enum class Change {
    wandering, // nothing but spiders' steps: within wanderingSaveInterval
    byPlayer,  // a press, a release, a lost focus: within autosaveInterval
    newBox,    // at once
};

// When the board is next handed to the writer, on a clock of the caller's.
class AutosaveCadence {
public:
    // `change` happened at `now`: the next save comes no later than it asks.
    void note(Change change, sf::Time now);
    bool due(sf::Time now) const { return now >= next; }
    // The board was looked at, and saved if it changed, at `now`.
    void looked(sf::Time now) { next = now + wanderingSaveInterval; }
    sf::Time nextSave() const { return next; }

private:
    sf::Time next = wanderingSaveInterval;
};

// After a close that could not save, a second close quits without saving only
// once the close notice has been on screen this long; a sooner one (queued, or
// a key held down) is a first close again.
const sf::Time noticeReadTime = sf::seconds(1);

// Each end of the game (the close button, an end from outside, an error)
// waits at most this long for the disk, counted from when it was asked for:
// inside the 5 seconds Windows gives a window that does not answer, or a
// console that is closing.
const std::chrono::milliseconds endBound = std::chrono::seconds(4);

// Saving as the frame loop knows it: the writer thread, the newest snapshot
// handed to it, the failure already told on stderr, and the texts the window
// shows about it (Messages draws them). Each way the game ends is one call
// here that saves first.
class Saving {
public:
    // `write` puts the bytes on the disk (writeSaveFile in the game);
    // `onDisk` is the board the save file already holds. The cadence and the
    // notice's reading time are measured on `now`: by default the time since
    // saving began. An end waits for the disk `bound` at most.
    using Now = std::function<sf::Time()>;
    Saving(
        SaveWriter::WriteFunction write, std::string onDisk,
        Now now = [clock = sf::Clock()] { return clock.getElapsedTime(); },
        std::chrono::milliseconds bound = endBound);

    // When the cadence says so for `change` (and for a save that failed,
    // tried again within `autosaveInterval`), hands the writer a snapshot of
    // the board unless it is the one already on the disk. Also acts on the
    // writer's results: a failure is told, a success clears it.
    void autosave(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money,
                  Change change = Change::wandering);

    // How long until autosave has work. A write that fails, or that succeeds
    // after a failure, wakes the frame loop itself.
    sf::Time untilAutosave() const;

    // After load: a save.json that loaded cleanly is kept as save.json.bak,
    // on the writer thread. A backup that cannot be written is told on
    // stderr; the game goes on.
    void startFrom(const LoadedSave& loaded);

    // Saves the board and waits until it is on the disk, at most the end's
    // bound; returns whether it is.
    bool saveNow(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money);

    // Waits for the write in flight, if any, at most until `deadline`, and
    // acts on how it went.
    void settle(SaveWriter::Deadline deadline);

    // The window's close button: saves and closes, all within the end's
    // bound. When the save fails the window stays open with the close notice.
    // A close once the notice was read quits without saving, unless the write
    // still in flight lands within the bound; when the disk did not answer
    // the first close, the second one does not wait for it at all.
    void closeRequested(sf::Window& window, const std::vector<Spider>& spiders,
                        const std::vector<Box>& boxes, int money);

    // An end asked for from outside the window: saves, waits, answers the
    // request (endRequestAnswered), closes. A save that fails is told in one
    // line, and the exit status becomes 1.
    void endFromOutside(sf::Window& window, const std::vector<Spider>& spiders,
                        const std::vector<Box>& boxes, int money);

    // An error that stopped the frame loop: keeps the board if it still can.
    // Returns the line that tells the error, and whether the board was saved.
    std::string endAfterError(const std::exception& error, const std::vector<Spider>& spiders,
                              const std::vector<Box>& boxes, int money);

    // Over the board: the close notice, when a close could not save; and at
    // the bottom, while saves fail, one line saying so.
    const std::string& notice() const { return closeNotice; }
    const std::string& failureLine() const { return failure; }

    // The close notice is on the screen: its reading time starts at the first
    // frame that shows it.
    void noticeOnScreen();

    // 0 when the board was saved at the end, 1 when the game ended without it.
    int exitStatus() const { return endedUnsaved ? 1 : 0; }

private:
    void actOn(const SaveWriter::Result& result);
    // The game ends `how` without its board: says so, whatever was told before.
    void endUnsaved(const std::string& how);
    bool saveNow(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money,
                 SaveWriter::Deadline deadline);

    Now now;
    std::chrono::milliseconds bound;
    AutosaveCadence cadence;
    std::uint64_t actedOn = 0; // the number of the newest finished write acted on
    std::string lastHandedIn;  // the newest snapshot given to the writer
    std::string causeTold;    // the failure last told on stderr
    std::string failure;      // the line shown while saves fail
    std::string closeNotice;
    bool noticeShown = false;
    bool diskSilent = false; // the last wait for the disk gave up
    bool endedUnsaved = false;
    sf::Time noticeShownAt;
    SaveWriter writer; // last: its thread stops first
};
