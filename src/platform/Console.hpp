#pragma once

#include <string>

// Whether the game has a console window of its own, one that closes with the
// game: a Windows game started by a double-click. What the game prints there
// is gone before the player can read it. Never so elsewhere.
bool consoleClosesWithGame();

// Whether a console shared by `processes` processes (the game among them)
// belongs to the game alone.
bool consoleIsTheGamesAlone(unsigned long processes);

// The game's messages are UTF-8; on Windows the console is told so, so that a
// path such as C:\Users\Jörg keeps every letter. Elsewhere this does nothing.
void useUtf8Console();

// The system's reasons for failures (strerror) in the player's language, as
// the environment names it (LC_ALL, LC_MESSAGES, LANG), in UTF-8 whatever the
// environment's character set. Only the messages' locale changes: numbers,
// and so the save file, stay as they were. Windows answers in the display
// language already: there this does nothing.
void useSystemLanguage();

// Shows `line` (UTF-8) in a message box, where the operating system has one.
void showMessageBox(const std::string& line);
