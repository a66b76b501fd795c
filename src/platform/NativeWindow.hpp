#pragma once

#include "platform/Display.hpp"

#include <SFML/Window/WindowHandle.hpp>

#include <optional>

// Where a window goes in `workArea` with this frame at this scale; `near` is
// where the system would put its frame, when it suggests a place.
using PlaceWindow = WindowPlace (*)(ScreenArea workArea, FrameSize frame, float scale,
                                    std::optional<ScreenArea> near);

// Windows: when the window is dragged to a monitor of another scale
// (WM_DPICHANGED), places it there through `place`, with that monitor's work
// area, the window's frame at that scale and the scale. Elsewhere nothing.
void followMonitorScale(sf::WindowHandle window, PlaceWindow place);

// Windows: makes the client area of `window` `side` pixels square, keeping
// its top-left corner. SFML sizes the frame for the scale the player signed
// in with, which may not be the monitor's own. Elsewhere nothing.
void fitClientArea(sf::WindowHandle window, unsigned side);

// Windows: the window's big and small icons from the program's own icon, each
// at the size the system asks. False when the program holds no icon, and on
// other systems.
bool setIconsFromProgram(sf::WindowHandle window);
