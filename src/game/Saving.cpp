#include "game/Saving.hpp"

#include "persistence/SaveFile.hpp"
#include "platform/EndRequests.hpp"

#include <iostream>

namespace {

void tellFailure(SaveState& state, const std::string& problem) {
    if (problem != state.lastProblem) {
        std::cerr << "Tangleroot: the board was not saved (" << problem
                  << "); the previous save is kept\n";
        state.lastProblem = problem;
    }
}

void actOn(const SaveWriter::Result& result, SaveState& state) {
    if (result.number == state.resultsSeen) {
        return;
    }
    state.resultsSeen = result.number;
    if (result.ok) {
        state.lastProblem.clear();
        state.notice.clear();
    } else {
        tellFailure(state, result.problem);
    }
}

} // namespace

void autosave(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money,
              SaveWriter& writer, SaveState& state, bool now) {
    const SaveWriter::Result result = writer.lastResult();
    actOn(result, state);
    if (!now && state.sinceAutosave.getElapsedTime() < autosaveInterval) {
        return;
    }
    state.sinceAutosave.restart();
    std::string snapshot = boardSnapshot(spiders, boxes, money);
    if (snapshot == state.lastHandedIn && result.ok) {
        return; // nothing changed since the last save
    }
    state.lastHandedIn = snapshot;
    writer.submit(std::move(snapshot));
}

bool saveAndWait(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money,
                 SaveWriter& writer, SaveState& state) {
    state.lastHandedIn = boardSnapshot(spiders, boxes, money);
    const SaveWriter::Result result = writer.submitAndWait(state.lastHandedIn);
    actOn(result, state);
    if (!result.ok) {
        state.notice = "The board was not saved:\n" + result.problem +
                       "\n\nClose the window again to quit without saving.";
    }
    return result.ok;
}

void handleCloseRequest(sf::Window& window, const std::vector<Spider>& spiders,
                        const std::vector<Box>& boxes, int money, SaveWriter& writer,
                        SaveState& state) {
    if (!state.notice.empty() || saveAndWait(spiders, boxes, money, writer, state)) {
        window.close();
    }
}

void saveForEnd(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money,
                SaveWriter& writer, SaveState& state) {
    saveAndWait(spiders, boxes, money, writer, state);
    endRequestHandled();
}

void endOnRequest(sf::Window& window, const std::vector<Spider>& spiders,
                  const std::vector<Box>& boxes, int money, SaveWriter& writer, SaveState& state) {
    saveForEnd(spiders, boxes, money, writer, state);
    window.close();
}

int endAfterError(const std::exception& error, const std::vector<Spider>& spiders,
                  const std::vector<Box>& boxes, int money, SaveWriter& writer, SaveState& state) {
    try {
        saveAndWait(spiders, boxes, money, writer, state);
    } catch (const std::exception&) {
        // The board cannot even be made into a snapshot; there is nothing to keep.
    }
    std::cerr << "Tangleroot cannot go on: " << error.what() << "\n";
    return 1;
}

int exitStatus(const SaveState& state) {
    return state.notice.empty() ? 0 : 1;
}
