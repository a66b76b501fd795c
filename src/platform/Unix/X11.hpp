#pragma once

#include "platform/Display.hpp"

#include <X11/Xlib.h>

#include <vector>

// The desktop's own X connection, opened once at start-up.
struct Desktop::Connection {
    Display* x = nullptr;
    ~Connection() { XCloseDisplay(x); }
};

// The values of a 32-bit property of `window`, read over `display`; empty
// when it is not set.
std::vector<long> cardinals(Display* display, Window window, const char* name);
