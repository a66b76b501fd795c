#pragma once

#include "platform/Display.hpp"

#include <optional>
#include <vector>

// The window is never smaller than this, however small the screen.
constexpr unsigned smallestWindowSide = 100;

// The largest square client area whose frame lies wholly in `workArea`, and
// never larger than the 800 x 800 board at `scale` (screen pixels per board
// pixel). The frame is centred in the work area; or, for a window moved to
// another monitor, on `near`, where the system would put it, then shifted the
// least that brings it wholly into the work area.
WindowPlace placeWindow(ScreenArea workArea, FrameSize frame, float scale,
                        std::optional<ScreenArea> near = std::nullopt);

// Where the window goes after a move to a monitor of another scale: placed
// anew there, near where the system suggests (placeWindow). A window the
// player is dragging keeps the suggested top and is centred across the
// suggested rectangle, which keeps the title bar under the pointer so the
// drag goes on; it is moved only as far as it must to stay on the desktop.
WindowPlace placeAfterScaleChange(const ScaleChange& change);

// The frame to allow for when the window system does not say: a tenth of the
// area's height above the window, for a title bar and a task bar together.
FrameSize guessedFrame(ScreenArea workArea);

// The common part of two areas; an empty area (width and height 0) when they
// do not overlap.
ScreenArea overlap(ScreenArea a, ScreenArea b);

// The part of one monitor a window may cover: the work area on the monitor
// under the pointer, else that whole monitor (or the whole screen).
ScreenArea usableArea(const DesktopLayout& layout);

// The monitor that holds the point, else the first one; `fallback` when
// there are none.
ScreenArea monitorAt(const std::vector<ScreenArea>& monitors, int x, int y, ScreenArea fallback);
