#include "platform/EndRequests.hpp"

#include <atomic>

namespace {

std::atomic<bool> endAsked{false}, answered{false}; // lock-free: a signal handler sets them

// The save of the living SaveBeforeTheEnd; only the game's own thread hands it over.
std::function<bool()> saveBeforeTheEnd;

} // namespace

void askForTheEnd() {
    endAsked = true;
    wakeFrameLoop();
}

bool endRequested() {
    return endAsked;
}

void endRequestAnswered() {
    answered = true;
}

bool endAnswered() {
    return answered;
}

SaveBeforeTheEnd::SaveBeforeTheEnd(sf::WindowHandle window, std::function<bool()> saveNow) {
    saveBeforeTheEnd = std::move(saveNow);
    watchTheEnd(window);
}

SaveBeforeTheEnd::~SaveBeforeTheEnd() {
    watchTheEnd({});
    saveBeforeTheEnd = nullptr;
}

bool saveIfHanded() {
    try {
        return saveBeforeTheEnd && saveBeforeTheEnd();
    } catch (...) {
        return false;
    }
}
