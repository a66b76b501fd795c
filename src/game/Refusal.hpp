#pragma once

#include <optional>
#include <string>
#include <vector>

// What the command line asks for. The game needs none of it; the menu entry
// and its launcher pass it.
struct StartOptions {
    // --show-errors: a refusal or a fatal error shows in a window too, for a
    // player who started the game from a menu and reads no terminal.
    bool showErrors = false;
    // --cannot-start REASON: the launcher could not get the game's folder
    // ready; the game says so, as it says its own refusals, and stops.
    std::optional<std::string> cannotStart;
};

// The options in `arguments` (the program's name left out); any other word
// is left alone.
StartOptions readOptions(const std::vector<std::string>& arguments);

// Tells why the game cannot start or go on, `line` (UTF-8): on stderr
// always; and where the player looks instead, in a window of its own until it
// is closed, with `inWindow` or where Windows tells that nobody reads stderr
// (there a message box). The window's words are drawn by the system's text
// engine, in the game's font or, when that is what is missing, the system's.
// Without a display, stderr alone.
void tellWhyTheGameStops(const std::string& line, bool inWindow);
