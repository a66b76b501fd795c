#pragma once

#include "platform/Display.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <vector>

struct Desktop::Connection {
    Display* x = nullptr;
    ~Connection() { XCloseDisplay(x); }
};

// The values of a 32-bit property of `window`; empty when it is not set.
std::vector<long> cardinals(Display* display, Window window, const char* name);

bool windowsAreManaged(Display* x, Window root);

// The refresh rate of an XRandR mode; 0 when it cannot be told.
float refreshRateOf(const XRRModeInfo& mode);

// A non-blocking pipe's read end, written a byte at each end request and
// wakeFrameLoop once listenForEndRequests has run; -1 before.
int wakeUpPipe();
