#pragma once

#include <string>

// Whether the game has a console window of its own, one that closes with the
// game: a Windows game started by a double-click. What the game prints there
// is gone before the player can read it. Never so elsewhere.
bool consoleClosesWithGame();

// Whether a console shared by `processes` processes (the game among them)
// belongs to the game alone.
bool consoleIsTheGamesAlone(unsigned long processes);

// Whether nobody will read what the game prints on stderr: it goes to no file
// or pipe (`stderrIsFileOrPipe` false), and the game has no console at all
// (`consoleProcesses` 0, as when a launcher starts it detached) or one that
// closes with it (1). A command prompt, or a launcher's pipe, reads it.
bool stderrGoesUnread(unsigned long consoleProcesses, bool stderrIsFileOrPipe);

// The same for this process, where the operating system can tell; false
// elsewhere, where a terminal or a log has it.
bool nobodyReadsStderr();

// The game's messages are UTF-8; on Windows the console is told so, so that a
// path such as C:\Users\Jörg keeps every letter. Elsewhere this does nothing.
void useUtf8Console();

// The system's reasons for failures (strerror) in the player's language, as
// the environment names it (LC_ALL, LC_MESSAGES, LANG), in UTF-8 whatever the
// environment's character set. Only the messages' locale changes: numbers,
// and so the save file, stay as they were. Windows answers in the display
// language already: there this does nothing.
void useSystemLanguage();
// Windows: a console can never hold the game up. In a console that closes
// with the game, a click no longer enters QuickEdit's Select mode (which
// stops every write until Esc); and stderr is written on a thread of its own
// (writeStderrInTheBackground). A crash, or an exception nothing caught,
// puts the console's code page back too. Elsewhere nothing.
void keepConsoleFromBlocking();

// The console as the game found it, at an end that skips what exit() runs
// (a closed console, the end of the session): the code page put back, and
// the lines told so far given up to half a second. May be called again.
void restoreConsole();

// Shows `line` (UTF-8) in a message box, where the operating system has one.
void showMessageBox(const std::string& line);
