#include "platform/Display.hpp"

#ifndef _WIN32
#include <X11/Xlib.h>

#include <cstdlib>
#endif

bool displayReachable([[maybe_unused]] std::string& problem) {
#ifdef _WIN32
    return true;
#else
    // SFML aborts the program when it cannot open the display: ask first.
    Display* const display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* const name = std::getenv("DISPLAY");
        problem = name != nullptr && *name != '\0'
                      ? "cannot open the X display \"" + std::string(name) + "\""
                      : "no display (DISPLAY is not set)";
        return false;
    }
    XCloseDisplay(display);
    return true;
#endif
}
