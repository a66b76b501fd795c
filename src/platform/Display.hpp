#pragma once

#include <SFML/Graphics/Image.hpp>
#include <SFML/Window/WindowHandle.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ScreenArea {
    int left = 0, top = 0, width = 0, height = 0;
};

struct FrameSize {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The frame's outer corner, and the side of the square client area.
struct WindowPlace {
    int frameLeft = 0, frameTop = 0;
    unsigned side = 0;
};

struct DesktopLayout {
    ScreenArea screen;
    std::vector<ScreenArea> monitors; // empty when the system does not tell
    int pointerX = 0, pointerY = 0;
    std::optional<ScreenArea> workArea; // what task bars and docks leave free
};

struct PlacedFrame {
    int left = 0, top = 0;
    FrameSize frame;
};

struct ScaleChange {      // a move to a monitor of another scale
    ScreenArea workArea;  // the new monitor's
    FrameSize frame;      // the window's frame at the new scale
    float scale = 1.f;    // screen pixels per board pixel there
    ScreenArea suggested; // the frame rectangle the system suggests
    bool dragged = false;
    ScreenArea desktop; // round every monitor
};

using PlaceAfterScaleChange = WindowPlace (*)(const ScaleChange& change);

// The frame Windows is told to take after `change`. While the window opens,
// at the corner it was moved to (`opening`): Windows would push it off centre.
ScreenArea frameAfterScaleChange(const ScaleChange& change, PlaceAfterScaleChange place,
                                 std::optional<ScreenArea> opening);

// Asked anew at each question, over one connection kept for the game's life;
// nothing but reachable() and problem() is asked of a Desktop out of reach.
class Desktop {
public:
    Desktop();
    ~Desktop();
    Desktop(Desktop&&) noexcept;

    bool reachable() const { return connection_ != nullptr; }
    const std::string& problem() const { return problem_; }

    DesktopLayout layout() const;
    float scale() const; // screen pixels per board pixel

    // Round a window with a title bar and a close button; X11: not told by a
    // window manager that does not say (twm) or answer within half a second.
    std::optional<FrameSize> frame() const;

    // X11: the frame of a window placed as `asked`, shown for a moment.
    std::optional<PlacedFrame> probeFrame(WindowPlace asked) const;

    // Windows: the client area made `side` square, whatever scale SFML sized
    // the frame for; a move to a monitor of another scale placed by `place`.
    void fitClientArea(sf::WindowHandle window, unsigned side) const;
    void followMonitorScale(sf::WindowHandle window, PlaceAfterScaleChange place) const;

    // Windows: the program's own icon. X11: each picture at its own size.
    bool offerIcons(sf::WindowHandle window, const std::vector<sf::Image>& icons) const;

    // Of the monitor under `window`'s centre; 0 when not told.
    float refreshRate(sf::WindowHandle window) const;

    struct Connection;
    const Connection* connection() const { return connection_.get(); }

private:
    std::unique_ptr<Connection> connection_;
    std::string problem_;
};

// While one lives, an X error does not end the game: SFML asks about the
// window that an exited window manager's leftover property names.
class XErrorsSurvived {
public:
    XErrorsSurvived();
    ~XErrorsSurvived();
    XErrorsSurvived(const XErrorsSurvived&) = delete;
    XErrorsSurvived& operator=(const XErrorsSurvived&) = delete;

private:
    void (*previous)() = nullptr;
};
