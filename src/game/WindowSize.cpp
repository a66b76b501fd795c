#include "game/WindowSize.hpp"

#include "game/Phases.hpp"

#include <algorithm>
#include <cmath>

WindowPlace placeWindow(ScreenArea workArea, FrameSize frame, float scale,
                        std::optional<ScreenArea> near) {
    if (!std::isfinite(scale) || scale <= 0.f) {
        scale = 1.f;
    }
    const long board = std::lround(boardSize * scale);
    const long roomX = static_cast<long>(workArea.width) - frame.left - frame.right;
    const long roomY = static_cast<long>(workArea.height) - frame.top - frame.bottom;
    const long side = std::max<long>(smallestWindowSide, std::min({board, roomX, roomY}));
    const long outerWidth = side + frame.left + frame.right;
    const long outerHeight = side + frame.top + frame.bottom;
    // Centred on `around`, then kept in the work area (its top-left corner
    // first, should the smallest window not fit).
    const ScreenArea around = near.value_or(workArea);
    const auto within = [](long start, long length, long aroundStart, long aroundLength,
                           long outer) {
        const long centred = aroundStart + (aroundLength - outer) / 2;
        return static_cast<int>(std::max(start, std::min(centred, start + length - outer)));
    };
    WindowPlace place;
    place.frameLeft = within(workArea.left, workArea.width, around.left, around.width, outerWidth);
    place.frameTop = within(workArea.top, workArea.height, around.top, around.height, outerHeight);
    place.side = static_cast<unsigned>(side);
    return place;
}

FrameSize guessedFrame(ScreenArea workArea) {
    FrameSize frame;
    frame.top = (std::max(workArea.height, 0) + 9) / 10;
    return frame;
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

ScreenArea monitorAt(const std::vector<ScreenArea>& monitors, int x, int y, ScreenArea fallback) {
    for (const ScreenArea& monitor : monitors) {
        if (x >= monitor.left && x < monitor.left + monitor.width && y >= monitor.top &&
            y < monitor.top + monitor.height) {
            return monitor;
        }
    }
    return monitors.empty() ? fallback : monitors.front();
}

ScreenArea usableArea(const DesktopLayout& layout) {
    const ScreenArea monitor =
        monitorAt(layout.monitors, layout.pointerX, layout.pointerY, layout.screen);
    if (!layout.workArea) {
        return monitor;
    }
    const ScreenArea usable = overlap(*layout.workArea, monitor);
    return usable.width > 0 ? usable : monitor;
}
