#pragma once

#include "platform/Display.hpp"

#include <optional>

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

// A tenth of the height above the window, for a title bar and a task bar.
FrameSize guessedFrame(ScreenArea workArea);

// Empty when they do not overlap.
ScreenArea overlap(ScreenArea a, ScreenArea b);

// The work area on the monitor under the pointer, else the whole monitor.
ScreenArea usableArea(const DesktopLayout& layout);
