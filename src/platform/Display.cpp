#include "platform/Display.hpp"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#endif

#ifdef _WIN32

bool displayReachable(std::string&) {
    return true;
}

DesktopLayout desktopLayout() {
    DesktopLayout layout;
    layout.screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    // The primary display's mode as it is now. Wine keeps the monitors it saw
    // first for as long as its server runs, even when the screen has changed
    // since: then only the mode is to be trusted.
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        layout.screen = {0, 0, static_cast<int>(mode.dmPelsWidth),
                         static_cast<int>(mode.dmPelsHeight)};
    }
    MONITORINFO info{};
    info.cbSize = sizeof info;
    const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    const bool current = GetMonitorInfoW(primary, &info) &&
                         info.rcMonitor.right - info.rcMonitor.left == layout.screen.width &&
                         info.rcMonitor.bottom - info.rcMonitor.top == layout.screen.height;
    if (current) {
        const RECT& whole = info.rcMonitor;
        const RECT& work = info.rcWork;
        layout.monitors.push_back(
            {whole.left, whole.top, whole.right - whole.left, whole.bottom - whole.top});
        layout.pointerX = whole.left;
        layout.pointerY = whole.top;
        layout.workArea =
            ScreenArea{work.left, work.top, work.right - work.left, work.bottom - work.top};
    }
    return layout;
}

namespace {

unsigned screenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<unsigned>(dpi) : 96u;
}

} // namespace

float desktopScale() {
    return static_cast<float>(screenDpi()) / 96.f;
}

std::optional<FrameSize> windowFrame() {
    // The style SFML gives a window with a title bar and a close button.
    const DWORD style = WS_CAPTION | WS_MINIMIZEBOX | WS_SYSMENU;
    RECT outer{0, 0, 0, 0};
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    const auto adjustForDpi = reinterpret_cast<AdjustForDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    const bool adjusted = adjustForDpi != nullptr
                              ? adjustForDpi(&outer, style, FALSE, 0, screenDpi())
                              : AdjustWindowRectEx(&outer, style, FALSE, 0);
    if (!adjusted) {
        return std::nullopt;
    }
    return FrameSize{-outer.left, -outer.top, outer.right, outer.bottom};
}

#else

namespace {

struct CloseDisplay {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayConnection = std::unique_ptr<Display, CloseDisplay>;

// The values of a 32-bit property of `window`; empty when it is not set.
std::vector<long> cardinals(Display* display, Window window, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(display, name, True);
    std::vector<long> values;
    if (property != None &&
        XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &left, &data) == Success &&
        data != nullptr) {
        if (format == 32) {
            // Xlib hands 32-bit items over as longs.
            const long* items = reinterpret_cast<const long*>(data);
            values.assign(items, items + count);
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    return values;
}

std::vector<ScreenArea> monitors(Display* display, Window root) {
    std::vector<ScreenArea> found;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase) &&
        XRRQueryVersion(display, &major, &minor) && (major > 1 || (major == 1 && minor >= 5))) {
        int count = 0;
        XRRMonitorInfo* const list = XRRGetMonitors(display, root, True, &count);
        for (int i = 0; i < count; ++i) {
            found.push_back({list[i].x, list[i].y, list[i].width, list[i].height});
        }
        if (list != nullptr) {
            XRRFreeMonitors(list);
        }
    } else if (XineramaQueryExtension(display, &eventBase, &errorBase) &&
               XineramaIsActive(display)) {
        int count = 0;
        XineramaScreenInfo* const list = XineramaQueryScreens(display, &count);
        for (int i = 0; i < count; ++i) {
            found.push_back({list[i].x_org, list[i].y_org, list[i].width, list[i].height});
        }
        if (list != nullptr) {
            XFree(list);
        }
    }
    return found;
}

// Whether the running window manager says it supports the hint `name`.
bool windowManagerSupports(Display* display, Window root, const char* name) {
    const Atom hint = XInternAtom(display, name, False);
    for (const long supported : cardinals(display, root, "_NET_SUPPORTED")) {
        if (static_cast<Atom>(supported) == hint) {
            return true;
        }
    }
    return false;
}

} // namespace

bool displayReachable(std::string& problem) {
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
}

DesktopLayout desktopLayout() {
    DesktopLayout layout;
    layout.screen = {0, 0, 800, 800};
    const DisplayConnection display(XOpenDisplay(nullptr));
    if (!display) {
        return layout;
    }
    Display* const x = display.get();
    const Window root = DefaultRootWindow(x);
    layout.screen = {0, 0, DisplayWidth(x, DefaultScreen(x)), DisplayHeight(x, DefaultScreen(x))};
    layout.monitors = monitors(x, root);

    Window rootBack = None;
    Window child = None;
    int windowX = 0;
    int windowY = 0;
    unsigned buttons = 0;
    XQueryPointer(x, root, &rootBack, &child, &layout.pointerX, &layout.pointerY, &windowX,
                  &windowY, &buttons);

    // One work area per virtual desktop: the current one's.
    const std::vector<long> workAreas = cardinals(x, root, "_NET_WORKAREA");
    const std::vector<long> current = cardinals(x, root, "_NET_CURRENT_DESKTOP");
    std::size_t at = current.empty() ? 0 : static_cast<std::size_t>(current.front()) * 4;
    if (at + 4 > workAreas.size()) {
        at = 0;
    }
    if (workAreas.size() >= 4) {
        layout.workArea =
            ScreenArea{static_cast<int>(workAreas[at]), static_cast<int>(workAreas[at + 1]),
                       static_cast<int>(workAreas[at + 2]), static_cast<int>(workAreas[at + 3])};
    }
    return layout;
}

float desktopScale() {
    const DisplayConnection display(XOpenDisplay(nullptr));
    const char* const resources = display ? XResourceManagerString(display.get()) : nullptr;
    if (resources == nullptr) {
        return 1.f;
    }
    XrmInitialize();
    const XrmDatabase database = XrmGetStringDatabase(resources);
    char* type = nullptr;
    XrmValue value{};
    float scale = 1.f;
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        const double dpi = std::strtod(value.addr, nullptr);
        if (dpi > 0.0) {
            scale = static_cast<float>(dpi / 96.0);
        }
    }
    XrmDestroyDatabase(database);
    return scale;
}

std::optional<FrameSize> windowFrame() {
    const DisplayConnection display(XOpenDisplay(nullptr));
    if (!display) {
        return std::nullopt;
    }
    Display* const x = display.get();
    const Window root = DefaultRootWindow(x);
    if (!windowManagerSupports(x, root, "_NET_REQUEST_FRAME_EXTENTS")) {
        return std::nullopt;
    }
    // Ask the window manager what it would put round a window not yet shown:
    // it answers by setting _NET_FRAME_EXTENTS on it.
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    const Window probe = XCreateWindow(x, root, 0, 0, 100, 100, 0, CopyFromParent, InputOutput,
                                       CopyFromParent, CWEventMask, &attributes);
    // Of a fixed size, as the game's window is: some window managers draw a
    // thinner frame without resize handles.
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = 100;
    hints.min_height = hints.max_height = 100;
    XSetWMNormalHints(x, probe, &hints);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = probe;
    request.xclient.message_type = XInternAtom(x, "_NET_REQUEST_FRAME_EXTENTS", False);
    request.xclient.format = 32;
    XSendEvent(x, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XFlush(x);

    std::optional<FrameSize> frame;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!frame && std::chrono::steady_clock::now() < end) {
        const std::vector<long> extents = cardinals(x, probe, "_NET_FRAME_EXTENTS");
        if (extents.size() == 4) {
            frame = FrameSize{static_cast<int>(extents[0]), static_cast<int>(extents[2]),
                              static_cast<int>(extents[1]), static_cast<int>(extents[3])};
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    XDestroyWindow(x, probe);
    return frame;
}

#endif
