#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// Neither a file nor a pipe, and no console (started detached) or one that
// closes with the game; false where the system cannot tell.
bool stderrGoesUnread(unsigned long consoleProcesses, bool stderrIsFileOrPipe);
bool nobodyReadsStderr();

// strerror in the player's language, in UTF-8; numbers, and so the save
// file, stay as they were. Windows answers in its display language already.
void useSystemLanguage();
void silenceSfmlMessages();

// Windows: QuickEdit off and std::cerr on a writer thread (docs/windows.md).
void keepConsoleFromBlocking();
bool flushStderrLines(std::chrono::milliseconds bound); // whether written within `bound`
bool showMessageBox(const std::string& line);           // false where none can be shown

// Of `size` UTF-16 units, how many a write of at most `most` takes, never half a surrogate pair.
template <typename Unit>
std::size_t unitsInWrite(const Unit* text, std::size_t size, std::size_t most) {
    const bool splitsPair = size > most && text[most - 1] >= 0xD800 && text[most - 1] < 0xDC00;
    return size <= most ? size : most - (splitsPair ? 1 : 0);
}
