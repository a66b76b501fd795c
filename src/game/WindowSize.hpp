#pragma once

#include "platform/Display.hpp"

#include <optional>

constexpr unsigned smallestWindowSide = 100;

// The largest square, at most the board at `scale`, whose frame fits `workArea`:
// centred there, or on `near` (the system's pick on another monitor), shifted in.
WindowPlace placeWindow(ScreenArea workArea, FrameSize frame, float scale,
                        std::optional<ScreenArea> near = std::nullopt);

// A window being dragged keeps the suggested top and is centred across the
// suggested rectangle, so its title bar stays under the pointer.
WindowPlace placeAfterScaleChange(const ScaleChange& change);

// A tenth of the height above the window, for a title bar and a task bar.
FrameSize guessedFrame(ScreenArea workArea);

// Empty when they do not overlap.
ScreenArea overlap(ScreenArea a, ScreenArea b);

// The work area on the monitor under the pointer, else the whole monitor.
ScreenArea usableArea(const DesktopLayout& layout);
