#include "platform/Display.hpp"

ScreenArea frameAfterScaleChange(const ScaleChange& change, PlaceAfterScaleChange place,
                                 std::optional<ScreenArea> opening) {
    WindowPlace placed = place(change);
    if (opening) {
        placed.frameLeft = opening->left;
        placed.frameTop = opening->top;
    }
    const int side = static_cast<int>(placed.side);
    return {placed.frameLeft, placed.frameTop, side + change.frame.left + change.frame.right,
            side + change.frame.top + change.frame.bottom};
}
