#include "game/Saving.hpp"

#include "platform/Console.hpp"
#include "platform/EndRequests.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>

namespace {

const std::string diskSilent = "the disk has not answered yet";

Worker::Deadline after(sf::Time bound) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(bound.asMilliseconds());
}

} // namespace

void AutosaveCadence::note(Change change, sf::Time now) {
    if (change == Change::newBox) {
        next = std::min(next, now);
    } else if (change == Change::byPlayer) {
        next = std::min(next, now + autosaveInterval);
    }
}

Saving::Saving(SaveWriter::WriteFunction write, const std::vector<Spider>& spiders,
               const std::vector<Box>& boxes, const int& money, Now now)
    : spiders(spiders), boxes(boxes), money(money), now(std::move(now)),
      lastHandedIn(boardSnapshot(spiders, boxes, money)),
      writer(std::move(write), [](const SaveWriter::Result&) { wakeFrameLoop(); }) {}

void Saving::actOn(const SaveWriter::Result& result) {
    actedOn = result.snapshot;
    if (result.ok) {
        causeTold.clear();
        failure.clear();
        return;
    }
    failure = "The board is not being saved: " + result.problem;
    if (result.problem != causeTold) {
        std::cerr << notSavedLine(result.problem) << "\n";
        causeTold = result.problem;
    }
    if (!closeNotice.empty()) {
        showNotice(); // with the new cause
    }
}

void Saving::handOver(std::string snapshot) {
    lastHandedIn = std::move(snapshot);
    handedNumber = writer.submit(lastHandedIn);
}

void Saving::update(Change change) {
    if (ended()) {
        return;
    }
    const SaveWriter::Result result = writer.lastResult();
    if (result.snapshot > actedOn) {
        actOn(result);
    }
    const sf::Time at = now();
    if (endAskedAt && result.ok && result.snapshot >= endSnapshot) {
        if (result.snapshot == handedNumber &&
            boardSnapshot(spiders, boxes, money) == lastHandedIn) {
            end(0, "");
            return;
        }
        // Played on under the notice: the game ends with the board as it is now
        closeNotice.clear();
        noticeShownAt.reset();
        endAskedAt.reset();
        beginEnd();
    }
    if (endAskedAt) {
        if (outsideAskedAt && at - *outsideAskedAt >= endBound) {
            end(1, "ended from outside");
            return;
        }
        const bool closeFailed = !result.ok && result.snapshot >= endSnapshot;
        if (closeAsked && closeNotice.empty() && (closeFailed || at - *endAskedAt >= endBound)) {
            showNotice();
        }
    }
    cadence.note(change, at);
    if (!result.ok) {
        cadence.note(Change::byPlayer, at); // tried again soon, whatever changed
    }
    if (!cadence.due(at)) {
        return;
    }
    cadence.looked(at);
    std::string snapshot = boardSnapshot(spiders, boxes, money);
    if (snapshot != lastHandedIn || !result.ok) {
        handOver(std::move(snapshot));
    }
}

sf::Time Saving::untilUpdate() const {
    const sf::Time at = now();
    sf::Time next = cadence.nextSave();
    if (endAskedAt && closeNotice.empty()) {
        next = std::min(next, *endAskedAt + endBound);
    }
    if (outsideAskedAt) {
        next = std::min(next, *outsideAskedAt + endBound);
    }
    return std::max(sf::Time::Zero, next - at);
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

void Saving::beginEnd() {
    if (!endAskedAt) {
        endAskedAt = now();
        handOver(boardSnapshot(spiders, boxes, money));
        endSnapshot = handedNumber;
    }
}

void Saving::closeRequested() {
    if (noticeShownAt && now() - *noticeShownAt >= noticeReadTime) {
        end(1, "closed again after the notice");
        return;
    }
    closeAsked = true;
    beginEnd();
}

void Saving::endRequested() {
    if (!outsideAskedAt) {
        outsideAskedAt = now();
        beginEnd();
    }
}

bool Saving::playPaused() const {
    return endAskedAt && closeNotice.empty() && !ended();
}

void Saving::end(int status, const std::string& how) {
    if (ended()) {
        return;
    }
    endedWith = status;
    if (status != 0) {
        std::cerr << "Tangleroot: " << how << "; the board was not saved ("
                  << (causeTold.empty() ? diskSilent : causeTold) << ")\n";
    }
    if (outsideAskedAt) {
        endRequestAnswered();
    }
}

void Saving::showNotice() {
    closeNotice = "The board was not saved:\n" + (causeTold.empty() ? diskSilent : causeTold) +
                  "\n\nThe game ends once it is saved. Close the window again to quit without "
                  "saving.";
}

void Saving::noticeOnScreen() {
    if (!closeNotice.empty() && !noticeShownAt) {
        noticeShownAt = now();
    }
}

bool Saving::saveNow() {
    handOver(boardSnapshot(spiders, boxes, money));
    if (!writer.waitFor(handedNumber, after(endBound))) {
        return false;
    }
    const SaveWriter::Result result = writer.lastResult();
    actOn(result);
    return result.ok && result.snapshot == handedNumber;
}

std::string Saving::endAfterError(const std::exception& error) {
    bool saved = false;
    try {
        saved = saveNow();
    } catch (const std::exception&) {
        // The board cannot even be made into a snapshot; there is nothing to keep.
    }
    endRequestAnswered(); // what the line says is true: a second Ctrl+C needs not say more
    return std::string("Tangleroot cannot go on: ") + error.what() + "; the board was " +
           (saved ? "saved" : "not saved");
}

bool Saving::finishWrites(sf::Time bound) {
    return writer.finish(after(bound));
}

int Saving::leave(int status) {
    if (!finishWrites(sf::milliseconds(200))) {
        flushStderrLines(std::chrono::milliseconds(500));
        std::_Exit(status);
    }
    return status;
}
