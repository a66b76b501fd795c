#pragma once

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

// Whether the game can show a window: on Linux an X display must answer.
// When it cannot, says why in `problem`.
bool displayReachable(std::string& problem);

// How the desktop is laid out, as far as placing a window goes.
struct DesktopLayout {
    ScreenArea screen;                // the whole desktop
    std::vector<ScreenArea> monitors; // empty when the system does not tell
    int pointerX = 0;                 // where the mouse is
    int pointerY = 0;
    std::optional<ScreenArea> workArea; // what task bars and docks leave free
};

// Windows: the primary monitor and its work area (less the task bar). X11:
// the screen, its monitors (XRandR 1.5, else Xinerama) and the window
// manager's work area (_NET_WORKAREA) when it sets one.
DesktopLayout desktopLayout();

// Screen pixels per board pixel that the player's setting asks for: the
// screen's dots per inch over 96 (Windows), or Xft.dpi over 96 (X11); 1 when
// nothing is set.
float desktopScale();

// The frame of a window with a title bar and a close button, as the system
// or the window manager draws it; nothing when it does not say.
std::optional<FrameSize> windowFrame();
