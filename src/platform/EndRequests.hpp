#pragma once

#include <SFML/Window/WindowHandle.hpp>

#include <functional>

// Ends asked for from outside the window (docs/saving.md): the handlers
// raise a flag and wake the frame loop, which answers once the game has ended.
void listenForEndRequests();
bool endRequested();
void endRequestAnswered();
void wakeFrameLoop(); // without asking for an end

// While one lives, the ends that cannot go back to the frame loop call
// `saveNow` on the game's own thread: whether the board is on the disk.
class SaveBeforeTheEnd {
public:
    SaveBeforeTheEnd(sf::WindowHandle window, std::function<bool()> saveNow);
    ~SaveBeforeTheEnd();
    SaveBeforeTheEnd(const SaveBeforeTheEnd&) = delete;
    SaveBeforeTheEnd& operator=(const SaveBeforeTheEnd&) = delete;
};

// For each system's handlers. A save that throws leaves the board as the last save has it.
void askForTheEnd();
bool endAnswered();
void watchTheEnd(sf::WindowHandle window); // Windows: the ends reaching `window`; {}: none
bool saveIfHanded();
