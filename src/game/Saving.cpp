#include "game/Saving.hpp"

#include "persistence/SaveFile.hpp"
#include "platform/EndRequests.hpp"

#include <algorithm>
#include <iostream>

Saving::Saving(SaveWriter::WriteFunction write, std::string onDisk, Now now,
               std::chrono::milliseconds bound)
    : now(std::move(now)), bound(bound), lastHandedIn(std::move(onDisk)),
      writer(std::move(write),
             [](const SaveWriter::Result& result, const SaveWriter::Result& before) {
                 // A failure, or the success that ends one, is shown at once,
                 // even while the loop sleeps.
                 if (!result.ok || !before.ok) {
                     wakeFrameLoop();
                 }
             }) {}

void Saving::actOn(const SaveWriter::Result& result) {
    diskSilent = result.silent;
    if (!result.silent) {
        actedOn = result.number;
    }
    if (result.ok) {
        causeTold.clear();
        failure.clear();
        closeNotice.clear();
        noticeShown = false;
        return;
    }
    failure = "The board is not being saved: " + result.problem;
    if (result.problem != causeTold) {
        std::cerr << notSavedLine(result.problem) << "\n";
        causeTold = result.problem;
    }
}

void AutosaveCadence::note(Change change, sf::Time now) {
    if (change == Change::newBox) {
        next = std::min(next, now);
    } else if (change == Change::byPlayer) {
        next = std::min(next, now + autosaveInterval);
    }
}

void Saving::autosave(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money,
                      Change change) {
    // Only a write that finished since changes what is shown: a close that
    // gave up on a silent disk keeps its notice until the disk answers.
    const SaveWriter::Result result = writer.lastResult();
    if (result.number > actedOn) {
        actOn(result);
    }
    const sf::Time at = now();
    cadence.note(change, at);
    if (!result.ok) {
        cadence.note(Change::byPlayer, at); // a failed save is tried again soon, whatever changed
    }
    if (!cadence.due(at)) {
        return;
    }
    cadence.looked(at);
    std::string snapshot = boardSnapshot(spiders, boxes, money);
    if (snapshot == lastHandedIn && result.ok) {
        return; // nothing changed since the last save
    }
    lastHandedIn = snapshot;
    writer.submit(std::move(snapshot));
}

sf::Time Saving::untilAutosave() const {
    return std::max(sf::Time::Zero, cadence.nextSave() - now());
}

void Saving::startFrom(const LoadedSave& loaded) {
    if (!loaded.backup.empty()) {
        writer.runOnce([bytes = loaded.backup, savedAt = loaded.savedAt] {
            std::string problem;
            if (!writeBackupFile(bytes, savedAt, problem)) {
                std::cerr << "Tangleroot: the board the game started from was not kept as "
                          << backupFilePath.u8string() << " (" << problem << ")\n";
            }
        });
    }
}

bool Saving::saveNow(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money) {
    return saveNow(spiders, boxes, money, std::chrono::steady_clock::now() + bound);
}

bool Saving::saveNow(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money,
                     SaveWriter::Deadline deadline) {
    lastHandedIn = boardSnapshot(spiders, boxes, money);
    const SaveWriter::Result result = writer.submitAndWait(lastHandedIn, deadline);
    actOn(result);
    return result.ok;
}

void Saving::settle(SaveWriter::Deadline deadline) {
    actOn(writer.settled(deadline));
}

void Saving::closeRequested(sf::Window& window, const std::vector<Spider>& spiders,
                            const std::vector<Box>& boxes, int money) {
    const SaveWriter::Deadline deadline = std::chrono::steady_clock::now() + bound;
    const bool read = noticeShown && now() - noticeShownAt >= noticeReadTime;
    // A save that landed since the last frame looked, or that lands before
    // the deadline, makes the notice stale: the verdict waits for the write
    // in flight, unless the disk has not answered the close already.
    if (!(read && diskSilent)) {
        settle(deadline);
    }
    if (noticeShown && read) {
        endUnsaved("closed again after the notice");
        window.close(); // seen, and closed again: quit without saving
        return;
    }
    if (saveNow(spiders, boxes, money, deadline)) {
        window.close();
        return;
    }
    closeNotice = "The board was not saved:\n" + causeTold + "\n\nClose the window again to quit " +
                  (diskSilent ? "without waiting for the disk." : "without saving.");
}

void Saving::endFromOutside(sf::Window& window, const std::vector<Spider>& spiders,
                            const std::vector<Box>& boxes, int money) {
    if (!saveNow(spiders, boxes, money)) {
        endUnsaved("ended from outside");
    }
    // Answered before the window goes: a Windows console handler that meanwhile
    // turned to the window must not take its going for a lost board.
    endRequestAnswered();
    window.close();
}

void Saving::endUnsaved(const std::string& how) {
    endedUnsaved = true;
    std::cerr << "Tangleroot: " << how << "; the board was not saved (" << causeTold << ")\n";
}

std::string Saving::endAfterError(const std::exception& error, const std::vector<Spider>& spiders,
                                  const std::vector<Box>& boxes, int money) {
    bool saved = false;
    try {
        saved = saveNow(spiders, boxes, money);
    } catch (const std::exception&) {
        // The board cannot even be made into a snapshot; there is nothing to keep.
    }
    return std::string("Tangleroot cannot go on: ") + error.what() + "; the board was " +
           (saved ? "saved" : "not saved");
}

void Saving::noticeOnScreen() {
    if (!closeNotice.empty() && !noticeShown) {
        noticeShown = true;
        noticeShownAt = now();
    }
}
