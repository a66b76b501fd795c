#pragma once

#include "platform/Display.hpp"

#include <optional>
#include <vector>

constexpr unsigned smallestWindowSide = 100;

// The largest square client area, at most the board at `scale`, whose frame
// lies wholly in `workArea`: centred there, or on `near` (where the system
// would put a window moved to another monitor) and then shifted into it.
WindowPlace placeWindow(ScreenArea workArea, FrameSize frame, float scale,
                        std::optional<ScreenArea> near = std::nullopt);

// Placed anew on the monitor of another scale. A window being dragged keeps
// the suggested top and is centred across the suggested rectangle, so its
// title bar stays under the pointer.
WindowPlace placeAfterScaleChange(const ScaleChange& change);

// Where the system does not say: a tenth of the height above the window, for
// a title bar and a task bar together.
FrameSize guessedFrame(ScreenArea workArea);

// Width and height 0 when the areas do not overlap.
ScreenArea overlap(ScreenArea a, ScreenArea b);

// The work area on the monitor under the pointer, else that whole monitor.
ScreenArea usableArea(const DesktopLayout& layout);

// The monitor that holds the point, else the first; `fallback` for none.
ScreenArea monitorAt(const std::vector<ScreenArea>& monitors, int x, int y, ScreenArea fallback);
