#pragma once

#include "platform/Display.hpp"

// Where a window the player is dragging goes when it reaches a monitor of
// another scale. `fitted` is where it would go placed anew on that monitor,
// and gives its side; `suggested` is the frame rectangle Windows suggests,
// which keeps the title bar under the pointer. The window keeps that top and
// is centred across it, so the drag goes on from where it is; it is moved
// only as far as it must to stay on `desktop`, the rectangle round every
// monitor.
WindowPlace keepDraggedPlace(WindowPlace fitted, FrameSize frame, ScreenArea suggested,
                             ScreenArea desktop);
