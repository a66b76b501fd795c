#pragma once

#include <SFML/Graphics/Image.hpp>
#include <SFML/Window/WindowHandle.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A rectangle of the desktop, in screen pixels.
struct ScreenArea {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// What the window system puts round a window's client area: the title bar and
// the borders, in screen pixels.
struct FrameSize {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Where a window goes: the outer corner of its frame (what the window system
// places) and the side of its square client area.
struct WindowPlace {
    int frameLeft = 0;
    int frameTop = 0;
    unsigned side = 0;
};

// How the desktop is laid out, as far as placing a window goes.
struct DesktopLayout {
    ScreenArea screen;                // the whole desktop
    std::vector<ScreenArea> monitors; // empty when the system does not tell
    int pointerX = 0;                 // where the mouse is
    int pointerY = 0;
    std::optional<ScreenArea> workArea; // what task bars and docks leave free
};

// Where the window system put a window's frame: the frame's outer corner, and
// what it puts round the client area.
struct PlacedFrame {
    int left = 0;
    int top = 0;
    FrameSize frame;
};

// A move of the window to a monitor of another scale, as the system tells it.
struct ScaleChange {
    ScreenArea workArea;  // the new monitor's
    FrameSize frame;      // the window's frame at the new scale
    float scale = 1.f;    // screen pixels per board pixel there
    ScreenArea suggested; // the frame rectangle the system suggests
    bool dragged = false; // the player is dragging the window
    ScreenArea desktop;   // the rectangle round every monitor
};

// Where the window goes after a ScaleChange.
using PlaceAfterScaleChange = WindowPlace (*)(const ScaleChange& change);

// The desktop the game's window shows on, asked over one connection opened
// once and kept for the game's whole life (X11; Windows needs none). Each
// question asks the desktop anew.
class Desktop {
public:
    // Connects to the desktop; when there is none to show a window on,
    // `reachable()` is false and `problem()` says why.
    Desktop();
    ~Desktop();
    Desktop(Desktop&&) noexcept;

    bool reachable() const { return connection_ != nullptr; }
    const std::string& problem() const { return problem_; }

    // Windows: every monitor, the pointer, and the work area (less the task
    // bar) of the monitor under the pointer.
    // X11: the screen, its monitors (XRandR 1.5, else Xinerama) and the window
    // manager's work area on the current virtual desktop (_NET_WORKAREA) when
    // it sets one. With no connection, an 800 x 800 screen.
    DesktopLayout layout() const;

    // Screen pixels per board pixel that the player's setting asks for: the
    // dots per inch of the monitor the window opens on over 96 (Windows), or
    // Xft.dpi over 96 as it was when the connection opened (X11); 1 when
    // nothing is set.
    float scale() const;

    // The frame of a window with a title bar and a close button, as the system
    // or the window manager draws it. X11: asked of a window manager that
    // runs by today's standard (EWMH), waiting at most half a second; none at
    // all when nothing manages windows; nothing told when a window manager
    // does not say (an older one, or one that cannot be asked).
    std::optional<FrameSize> frame() const;

    // X11: where the window manager puts the frame of a window placed as
    // `asked`, measured on a window of the same size shown for a moment and
    // taken away (waiting at most half a second); nothing when it has not
    // framed it by then, or when nothing manages windows. Windows: nothing,
    // as the system puts a frame where it is asked to.
    std::optional<PlacedFrame> probeFrame(WindowPlace asked) const;

    // Windows: makes the client area of `window` `side` pixels square, keeping
    // its top-left corner. SFML sizes the frame for the scale the player signed
    // in with, which may not be the monitor's own. X11: nothing.
    void fitClientArea(sf::WindowHandle window, unsigned side) const;

    // Windows: when the window moves to a monitor of another scale
    // (WM_DPICHANGED), places it there through `place`. X11: nothing.
    void followMonitorScale(sf::WindowHandle window, PlaceAfterScaleChange place) const;

    // The window's icons. Windows: the program's own icon, at each size the
    // system asks (`icons` are not needed). X11: every picture offered to the
    // window manager (_NET_WM_ICON), each at its own size, so title bar and
    // task switcher pick the one that fits. False when it cannot.
    bool offerIcons(sf::WindowHandle window, const std::vector<sf::Image>& icons) const;

    // What the system's other services need of the connection (X11: the
    // Xlib Display, for the frame loop's sleep); null without one.
    struct Connection;
    const Connection* connection() const { return connection_.get(); }

private:
    std::unique_ptr<Connection> connection_;
    std::string problem_;
};

// While one lives, an error the X server answers a request with is left to
// the caller instead of ending the game through Xlib's default handler. SFML
// asks about the window manager when it makes a window, and a manager that
// has exited leaves behind a property naming a window that is gone: the
// answer, BadWindow, must not end the game. Elsewhere this does nothing.
class XErrorsSurvived {
public:
    XErrorsSurvived();
    ~XErrorsSurvived();
    XErrorsSurvived(const XErrorsSurvived&) = delete;
    XErrorsSurvived& operator=(const XErrorsSurvived&) = delete;

private:
    void (*previous)() = nullptr; // the handler before, as a function of no type in particular
};
