#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// Whether nobody reads stderr: it goes to no file or pipe, and the game has
// no console (started detached) or one that closes with it.
bool stderrGoesUnread(unsigned long consoleProcesses, bool stderrIsFileOrPipe);

// The same for this process where the system can tell; false elsewhere.
bool nobodyReadsStderr();

// strerror in the player's language, in UTF-8; numbers, and so the save
// file, stay as they were. Windows answers in its display language already.
void useSystemLanguage();

// SFML's own lines (a vertical sync it cannot set, a font it cannot load) are
// not the player's to read.
void silenceSfmlMessages();

// Windows: a click in a console that closes with the game enters no
// QuickEdit selection (which stops every write until Esc), and std::cerr is
// written on a thread of its own. Elsewhere a terminal never blocks for good.
void keepConsoleFromBlocking();

// Waits at most `bound` for the lines told so far to be written, at an end
// that skips what exit() runs; whether they are.
bool flushStderrLines(std::chrono::milliseconds bound);

// Shows `line` (UTF-8) in a message box where the system has one (Windows);
// false elsewhere, or when it cannot be shown.
bool showMessageBox(const std::string& line);

// How many of `size` UTF-16 units go in a write of at most `most`: a
// surrogate pair split between two writes shows as two unknown letters.
template <typename Unit>
std::size_t unitsInWrite(const Unit* text, std::size_t size, std::size_t most) {
    const bool splitsPair = size > most && text[most - 1] >= 0xD800 && text[most - 1] < 0xDC00;
    return size <= most ? size : most - (splitsPair ? 1 : 0);
}
