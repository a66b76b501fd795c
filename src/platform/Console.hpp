#pragma once

#include <chrono>
#include <string>

// Whether nobody will read what the game prints on stderr: it goes to no file
// or pipe (`stderrIsFileOrPipe` false), and the game has no console at all
// (`consoleProcesses` 0, as when a launcher starts it detached) or one that
// closes with it (1). A command prompt, or a launcher's pipe, reads it.
bool stderrGoesUnread(unsigned long consoleProcesses, bool stderrIsFileOrPipe);

// The same for this process, where the operating system can tell; false
// elsewhere, where a terminal or a log has it.
bool nobodyReadsStderr();

// The system's reasons for failures (strerror) in the player's language, as
// the environment names it (LC_ALL, LC_MESSAGES, LANG), in UTF-8 whatever the
// environment's character set. Only the messages' locale changes: numbers,
// and so the save file, stay as they were. Windows answers in the display
// language already: there this does nothing.
void useSystemLanguage();

// Windows: a console can never hold the game up. In a console that closes
// with the game, a click no longer enters QuickEdit's Select mode (which
// stops every write until Esc); and std::cerr (SFML's error stream too) is
// written on a thread of its own, through WriteConsoleW to a console, so every
// letter shows in any font and any version, and as UTF-8 bytes to a file or
// pipe. Elsewhere nothing: a terminal never blocks a writer for good.
void keepConsoleFromBlocking();

// Waits at most `bound` for the lines told so far to be written, at an end
// that skips what exit() runs (a closed console, the end of the session);
// returns whether they are. True where stderr is written directly.
bool flushStderrLines(std::chrono::milliseconds bound);

// Shows `line` (UTF-8) in a message box until the player closes it, where
// the operating system has one (Windows); false elsewhere.
bool showMessageBox(const std::string& line);
