#pragma once

#include <optional>
#include <string>
#include <vector>

// What the menu entry and its launcher pass; the game needs none of it.
struct StartOptions {
    bool showErrors = false;                // --show-errors: in a window too
    std::optional<std::string> cannotStart; // --cannot-start REASON, from the launcher
};

// Other words are left alone.
StartOptions readOptions(const std::vector<std::string>& arguments);

// On stderr always; with `inWindow`, or where nobody reads stderr, also in a
// message box (Windows) or a window of its own until closed.
void tellWhyTheGameStops(const std::string& line, bool inWindow);
