#include "game/WindowSize.hpp"

#include "entities/Board.hpp"

#include <algorithm>
#include <cmath>

namespace {

// Moved the least that keeps a window `outer` long on the line, or at its
// start when longer than the line.
int keptWithin(long wanted, long start, long length, long outer) {
    return static_cast<int>(std::max(start, std::min(wanted, start + length - outer)));
}

} // namespace

WindowPlace placeWindow(ScreenArea workArea, FrameSize frame, float scale,
                        std::optional<ScreenArea> near) {
    if (!std::isfinite(scale) || scale <= 0.f) {
        scale = 1.f;
    }
    const long board = std::lround(boardSide * scale);
    const long roomX = static_cast<long>(workArea.width) - frame.left - frame.right;
    const long roomY = static_cast<long>(workArea.height) - frame.top - frame.bottom;
    const long side = std::max<long>(smallestWindowSide, std::min({board, roomX, roomY}));
    const long outerWidth = side + frame.left + frame.right;
    const long outerHeight = side + frame.top + frame.bottom;
    const ScreenArea around = near.value_or(workArea);
    return {keptWithin(around.left + (around.width - outerWidth) / 2, workArea.left, workArea.width,
                       outerWidth),
            keptWithin(around.top + (around.height - outerHeight) / 2, workArea.top,
                       workArea.height, outerHeight),
            static_cast<unsigned>(side)};
}

WindowPlace placeAfterScaleChange(const ScaleChange& change) {
    WindowPlace place = placeWindow(change.workArea, change.frame, change.scale, change.suggested);
    if (change.dragged) {
        const FrameSize& frame = change.frame;
        const ScreenArea& to = change.suggested;
        const long outerWidth = static_cast<long>(place.side) + frame.left + frame.right;
        place.frameLeft = keptWithin(to.left + (to.width - outerWidth) / 2, change.desktop.left,
                                     change.desktop.width, outerWidth);
        place.frameTop = keptWithin(to.top, change.desktop.top, change.desktop.height,
                                    static_cast<long>(place.side) + frame.top + frame.bottom);
    }
    return place;
}

FrameSize guessedFrame(ScreenArea workArea) {
    return {0, (std::max(workArea.height, 0) + 9) / 10, 0, 0};
}

ScreenArea overlap(ScreenArea a, ScreenArea b) {
    const int left = std::max(a.left, b.left);
    const int top = std::max(a.top, b.top);
    const int right = std::min(a.left + a.width, b.left + b.width);
    const int bottom = std::min(a.top + a.height, b.top + b.height);
    if (right <= left || bottom <= top) {
        return {};
    }
    return {left, top, right - left, bottom - top};
}

ScreenArea usableArea(const DesktopLayout& layout) {
    // The monitor under the pointer, else the first, else the screen.
    ScreenArea monitor = layout.monitors.empty() ? layout.screen : layout.monitors.front();
    for (const ScreenArea& each : layout.monitors) {
        if (overlap(each, {layout.pointerX, layout.pointerY, 1, 1}).width > 0) {
            monitor = each;
            break;
        }
    }
    if (!layout.workArea) {
        return monitor;
    }
    const ScreenArea usable = overlap(*layout.workArea, monitor);
    return usable.width > 0 ? usable : monitor;
}
