#pragma once

#include <SFML/Window/WindowHandle.hpp>

#include <functional>

// Ends asked for from outside the window: SIGTERM, SIGINT and SIGHUP (each
// one the game was not started ignoring, as `nohup` does with SIGHUP); on
// Windows Ctrl+C, Ctrl+Break and the console's close button. The handlers
// raise a flag and wake the frame loop, which answers once the game has ended.
void listenForEndRequests();
bool endRequested();
void endRequestAnswered();
void wakeFrameLoop(); // without asking for an end

// Ends that cannot go back to the frame loop: a lost X display (Xlib ends the
// process once its handler returns), Windows' end of the session, and a
// closed console whose end the loop has not answered within a second
// (Windows holds the loop while the window is dragged). While this object
// lives they call `saveNow` on the game's own thread, which says whether the
// board is on the disk.
class SaveBeforeTheEnd {
public:
    SaveBeforeTheEnd(sf::WindowHandle window, std::function<bool()> saveNow);
    ~SaveBeforeTheEnd();
    SaveBeforeTheEnd(const SaveBeforeTheEnd&) = delete;
    SaveBeforeTheEnd& operator=(const SaveBeforeTheEnd&) = delete;

private:
    [[maybe_unused]] sf::WindowHandle window;
};

// For each system's handlers. A save that throws leaves the board as the last save has it.
void askForTheEnd();
bool endAnswered();
void handOverSave(std::function<bool()> saveNow);
bool saveIfHanded();
