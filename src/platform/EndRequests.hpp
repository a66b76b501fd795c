#pragma once

#include <SFML/Window/WindowHandle.hpp>

#include <functional>

// Ends asked for from outside the window. On Linux SIGTERM, SIGINT and SIGHUP
// (each one the game was not started ignoring, as `nohup` does with SIGHUP);
// on Windows Ctrl+C, Ctrl+Break and the console window's close button. The
// handlers only raise a flag and wake the frame loop (EventWait); the loop
// reads the flag, saves and closes, then answers, which lets a Windows
// console handler holding the process go.
void listenForEndRequests();
bool endRequested();
void endRequestAnswered();

// Wakes a sleeping frame loop as an end request does, without asking for an
// end: for another thread with news the loop must act on soon.
void wakeFrameLoop();

// Ends that cannot wait for the frame loop: the X display lost (Xlib ends the
// process once its handler returns) and, on Windows, the end of the session
// reaching the game's window, or a closed console whose end the frame loop
// has not answered within a second (Windows holds it in a modal loop while
// the window is dragged or its system menu is open). While this object lives
// they call `saveNow` on the game's own thread, which saves the board, waits
// for the disk and says whether the board is on it. A lost display then
// prints one line saying so and whether the board was saved, and ends the
// process with status 1; an end of the session that could not save says so
// on stderr.
class SaveBeforeTheEnd {
public:
    SaveBeforeTheEnd(sf::WindowHandle window, std::function<bool()> saveNow);
    ~SaveBeforeTheEnd();
    SaveBeforeTheEnd(const SaveBeforeTheEnd&) = delete;
    SaveBeforeTheEnd& operator=(const SaveBeforeTheEnd&) = delete;

private:
    [[maybe_unused]] sf::WindowHandle
        window; // Windows: its procedure's chain holds the session's watch
};

// For each system's handlers, not the game: they raise the flag the frame
// loop reads and wake it (safe in a signal handler), ask whether the loop has
// answered, and run the save they were handed, which says whether the board
// is on the disk. No exception crosses the system's code: a save that throws
// leaves the board as the last save has it.
void askForTheEnd();
bool endAnswered();
void handOverSave(std::function<bool()> saveNow);
bool saveIfHanded();
