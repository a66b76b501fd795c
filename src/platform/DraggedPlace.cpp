#include "platform/DraggedPlace.hpp"

#include <algorithm>

WindowPlace keepDraggedPlace(WindowPlace fitted, FrameSize frame, ScreenArea suggested,
                             ScreenArea desktop) {
    const long side = static_cast<long>(fitted.side);
    const long outerWidth = side + frame.left + frame.right;
    const long outerHeight = side + frame.top + frame.bottom;
    // The start first, should the window be larger than the desktop
    const auto within = [](long wanted, long start, long length, long outer) {
        return static_cast<int>(std::max(start, std::min(wanted, start + length - outer)));
    };
    WindowPlace place = fitted;
    place.frameLeft = within(suggested.left + (suggested.width - outerWidth) / 2, desktop.left,
                             desktop.width, outerWidth);
    place.frameTop = within(suggested.top, desktop.top, desktop.height, outerHeight);
    return place;
}
