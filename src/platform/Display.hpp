#pragma once

#include <string>

// Whether the game can show a window: on Linux an X display must answer.
// When it cannot, says why in `problem`.
bool displayReachable(std::string& problem);
