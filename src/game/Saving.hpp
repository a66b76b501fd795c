#pragma once

#include "entities/Board.hpp"
#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "persistence/SaveFile.hpp"
#include "persistence/SaveWriter.hpp"

#include <SFML/System/Clock.hpp>

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

const sf::Time autosaveInterval = sf::milliseconds(playSaveDelay);
const sf::Time wanderingSaveInterval = sf::milliseconds(wanderingSaveDelay);
const sf::Time noticeReadTime = sf::milliseconds(noticeReadMs);
const sf::Time endBound = sf::milliseconds(endBoundMs);

// What changed the board in a frame, which says how soon it is saved.
enum class Change { wandering, byPlayer, newBox };

class AutosaveCadence {
public:
    void note(Change change, sf::Time now);
    bool due(sf::Time now) const { return now >= next; }
    void looked(sf::Time now) { next = now + wanderingSaveInterval; }
    sf::Time nextSave() const { return next; }

private:
    sf::Time next = wanderingSaveInterval;
};

// Saving as the frame loop knows it: the writer, the autosave's cadence, what
// the window says of saving, and the end of the game. A close or an end from
// outside hands the board to the writer and the loop goes on; the game ends
// once that board is on the disk.
class Saving {
public:
    using Now = std::function<sf::Time()>;
    // Watches the board it is given, which save.json holds now.
    Saving(
        SaveWriter::WriteFunction write, const std::vector<Spider>& spiders,
        const std::vector<Box>& boxes, const int& money,
        Now now = [clock = sf::Clock()] { return clock.getElapsedTime(); });

    // Once a frame: acts on the writer's results, hands the board over when
    // the cadence says so, and, while the game is ending, ends it or shows
    // the close notice.
    void update(Change change = Change::wandering);
    sf::Time untilUpdate() const;

    void startFrom(const LoadedSave& loaded);

    // The close button. Again once the notice was read: quits unsaved.
    void closeRequested();
    // A signal or the console: ends without a notice, unsaved after endBound.
    void endRequested();
    // From an end until the game ends or the notice shows, nothing may change
    // the board: what reaches the disk is the board the player left.
    bool playPaused() const;
    bool ended() const { return endedWith.has_value(); }
    int exitStatus() const { return endedWith.value_or(0); }

    // For the ends that cannot go back to the loop: saves and waits for the
    // disk, at most endBound; returns whether the board is on it.
    bool saveNow();
    // An error that stopped the loop: the line telling it, after saveNow.
    std::string endAfterError(const std::exception& error);

    bool finishWrites(sf::Time bound);

    // A write stuck on a hung disk would hold the destructors for good: the
    // process ends here instead, and the write and the folder's lock with it.
    int leave(int status);

    const std::string& notice() const { return closeNotice; }
    const std::string& failureLine() const { return failure; }
    void noticeOnScreen();

private:
    void actOn(const SaveWriter::Result& result);
    void handOver(std::string snapshot);
    void beginEnd();
    void end(int status, const std::string& how);
    void showNotice();

    const std::vector<Spider>& spiders;
    const std::vector<Box>& boxes;
    const int& money;
    Now now;
    AutosaveCadence cadence;
    std::string lastHandedIn;
    std::uint64_t handedNumber = 0;
    std::uint64_t actedOn = 0;
    std::string causeTold; // the failure last told on stderr
    std::string failure;
    std::optional<sf::Time> endAskedAt;
    std::optional<sf::Time> outsideAskedAt;
    bool closeAsked = false;
    std::uint64_t endSnapshot = 0; // the number of the board handed over at the end
    std::string closeNotice;
    std::optional<sf::Time> noticeShownAt;
    std::optional<int> endedWith;
    SaveWriter writer; // last: it ends first, writing what waits
};
