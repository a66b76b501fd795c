#pragma once

#include <SFML/Graphics/Image.hpp>
#include <SFML/Window/WindowHandle.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay; // Xlib's Display

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

    bool reachable() const;
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

    // X11: offers the window manager every picture (_NET_WM_ICON), each at its
    // own size, so title bar and task switcher pick the one that fits. False
    // when it cannot, and on other systems.
    bool offerIcons(sf::WindowHandle window, const std::vector<sf::Image>& icons) const;

    // X11: the connection itself, over which the frame loop's sleep is told
    // of the window being uncovered (EventWait); null without one, and on
    // other systems.
    _XDisplay* x11Connection() const;

private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
    std::string problem_;
};

#ifndef _WIN32
// X11: the values of a 32-bit property of `window`, read over `display` (an
// Xlib Display); empty when it is not set.
std::vector<long> cardinals(_XDisplay* display, sf::WindowHandle window, const char* name);
#endif

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
    int (*previous)(_XDisplay*, void*) = nullptr;
};
