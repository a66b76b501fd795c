#include "platform/Display.hpp"

#include "platform/Unix/X11.hpp"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

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

namespace {

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

int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

// Whether a window manager of today's standard (EWMH) runs: the window the
// root's _NET_SUPPORTING_WM_CHECK names exists and names itself the same way.
// One that has exited leaves the root's property behind, naming a window gone.
bool ewmhWindowManagerRuns(Display* x, Window root) {
    const std::vector<long> check = cardinals(x, root, "_NET_SUPPORTING_WM_CHECK");
    if (check.size() != 1) {
        return false;
    }
    // A window gone answers BadWindow, which Xlib's own handler would end
    // the game for: survived here, after what is queued before is handled.
    XSync(x, False);
    const XErrorsSurvived survived;
    const std::vector<long> own =
        cardinals(x, static_cast<Window>(check[0]), "_NET_SUPPORTING_WM_CHECK");
    return own.size() == 1 && own[0] == check[0];
}

// Whether anything manages the screen's windows: a client owns the WM_S0
// selection (ICCCM 2), or one redirects the root's children (every window
// manager does, twm included, which owns no selection).
bool windowsAreManaged(Display* x, Window root) {
    const std::string selection = "WM_S" + std::to_string(DefaultScreen(x));
    if (XGetSelectionOwner(x, XInternAtom(x, selection.c_str(), False)) != None) {
        return true;
    }
    XWindowAttributes attributes{};
    return XGetWindowAttributes(x, root, &attributes) != 0 &&
           (attributes.all_event_masks & SubstructureRedirectMask) != 0;
}

// What the window manager sets on `probe` as its frame extents, waiting for
// the property to change until `end`; nothing when it has not by then.
std::optional<FrameSize> frameExtents(Display* x, Window probe,
                                      std::chrono::steady_clock::time_point end) {
    const Atom extents = XInternAtom(x, "_NET_FRAME_EXTENTS", False);
    for (;;) {
        XEvent event{};
        // Looks at what Xlib already holds and what the socket has, without blocking.
        while (XCheckTypedWindowEvent(x, probe, PropertyNotify, &event)) {
            const std::vector<long> sides = event.xproperty.atom == extents
                                                ? cardinals(x, probe, "_NET_FRAME_EXTENTS")
                                                : std::vector<long>();
            if (sides.size() == 4) {
                return FrameSize{static_cast<int>(sides[0]), static_cast<int>(sides[2]),
                                 static_cast<int>(sides[1]), static_cast<int>(sides[3])};
            }
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd socket{ConnectionNumber(x), POLLIN, 0};
        poll(&socket, 1, static_cast<int>(left.count()));
    }
}

} // namespace

Desktop::Desktop() {
    // SFML aborts the program when it cannot open the display: ask first.
    Display* const display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* const name = std::getenv("DISPLAY");
        problem_ = name != nullptr && *name != '\0'
                       ? "cannot open the X display \"" + std::string(name) + "\""
                       : "no display (DISPLAY is not set)";
        return;
    }
    connection_ = std::make_unique<Connection>();
    connection_->x = display;
}

DesktopLayout Desktop::layout() const {
    DesktopLayout layout;
    layout.screen = {0, 0, 800, 800};
    if (!connection_) {
        return layout;
    }
    Display* const x = connection_->x;
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

    // One work area per virtual desktop: the current one's, or the first's
    // when the current desktop is not among them.
    const std::vector<long> workAreas = cardinals(x, root, "_NET_WORKAREA");
    const std::vector<long> current = cardinals(x, root, "_NET_CURRENT_DESKTOP");
    const std::size_t desktops = workAreas.size() / 4;
    std::size_t at = 0;
    if (!current.empty() && current.front() >= 0 &&
        static_cast<std::size_t>(current.front()) < desktops) {
        at = static_cast<std::size_t>(current.front()) * 4;
    }
    if (desktops > 0) {
        layout.workArea =
            ScreenArea{static_cast<int>(workAreas[at]), static_cast<int>(workAreas[at + 1]),
                       static_cast<int>(workAreas[at + 2]), static_cast<int>(workAreas[at + 3])};
    }
    return layout;
}

float Desktop::scale() const {
    const char* const resources = connection_ ? XResourceManagerString(connection_->x) : nullptr;
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

std::optional<FrameSize> Desktop::frame() const {
    if (!connection_) {
        return std::nullopt;
    }
    Display* const x = connection_->x;
    const Window root = DefaultRootWindow(x);
    if (!ewmhWindowManagerRuns(x, root)) {
        // One of older ways (twm's among them) draws a frame it does not
        // tell of; with no window manager at all nobody draws one.
        return windowsAreManaged(x, root) ? std::nullopt : std::optional<FrameSize>(FrameSize{});
    }
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

    const std::optional<FrameSize> frame =
        frameExtents(x, probe, std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
    XDestroyWindow(x, probe);
    XFlush(x);
    return frame;
}

bool Desktop::offerIcons(sf::WindowHandle window, const std::vector<sf::Image>& icons) const {
    // Width, height, then the pixels as ARGB, for each picture in turn; Xlib
    // takes 32-bit items as longs.
    std::vector<unsigned long> data;
    for (const sf::Image& icon : icons) {
        const sf::Vector2u size = icon.getSize();
        if (size.x == 0 || size.y == 0) {
            continue;
        }
        data.push_back(size.x);
        data.push_back(size.y);
        const sf::Uint8* pixel = icon.getPixelsPtr();
        for (std::size_t i = 0; i < static_cast<std::size_t>(size.x) * size.y; ++i, pixel += 4) {
            data.push_back(static_cast<unsigned long>(pixel[3]) << 24 |
                           static_cast<unsigned long>(pixel[0]) << 16 |
                           static_cast<unsigned long>(pixel[1]) << 8 | pixel[2]);
        }
    }
    if (data.empty() || !connection_) {
        return false;
    }
    Display* const x = connection_->x;
    XChangeProperty(x, window, XInternAtom(x, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(data.data()),
                    static_cast<int>(data.size()));
    XSync(x, False);
    return true;
}

namespace {

// Where the window manager has framed `window`: its frame's outer corner and
// the frame's sides; nothing while it is not framed and shown.
std::optional<PlacedFrame> framedAt(Display* x, Window window) {
    const Window root = DefaultRootWindow(x);
    // The frame is the root's child that holds the window.
    Window frame = window;
    Window parent = window;
    while (parent != root) {
        frame = parent;
        Window rootBack = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x, frame, &rootBack, &parent, &children, &count)) {
            return std::nullopt;
        }
        XFree(children);
    }
    XWindowAttributes inner{};
    XWindowAttributes outer{};
    int clientLeft = 0;
    int clientTop = 0;
    Window child = None;
    if (frame == window || !XGetWindowAttributes(x, window, &inner) ||
        inner.map_state != IsViewable || !XGetWindowAttributes(x, frame, &outer) ||
        !XTranslateCoordinates(x, window, root, 0, 0, &clientLeft, &clientTop, &child)) {
        return std::nullopt;
    }
    const int right = outer.x + outer.width + 2 * outer.border_width;
    const int bottom = outer.y + outer.height + 2 * outer.border_width;
    return PlacedFrame{outer.x, outer.y,
                       FrameSize{clientLeft - outer.x, clientTop - outer.y,
                                 right - clientLeft - inner.width,
                                 bottom - clientTop - inner.height}};
}

// `window`'s frame as soon as `done` says it is where it should be, waiting
// at most until `end`; the frame as it last was otherwise.
template <typename Done>
std::optional<PlacedFrame> framedWhen(Display* x, Window window,
                                      std::chrono::steady_clock::time_point end, Done done) {
    std::optional<PlacedFrame> framed;
    do {
        poll(nullptr, 0, 10);
        framed = framedAt(x, window);
    } while (!(framed && done(*framed)) && std::chrono::steady_clock::now() < end);
    return framed;
}

} // namespace

std::optional<PlacedFrame> Desktop::probeFrame(WindowPlace asked) const {
    if (!connection_ || !windowsAreManaged(connection_->x, DefaultRootWindow(connection_->x))) {
        return std::nullopt;
    }
    Display* const x = connection_->x;
    // A window of the same fixed size, shown, then moved as the game's window
    // is: some window managers place a frame asked for when it is shown by
    // another corner than one asked for by a move.
    const Window probe = XCreateSimpleWindow(x, DefaultRootWindow(x), asked.frameLeft,
                                             asked.frameTop, asked.side, asked.side, 0, 0, 0);
    XSizeHints hints{};
    hints.flags = USPosition | PMinSize | PMaxSize;
    hints.x = asked.frameLeft;
    hints.y = asked.frameTop;
    hints.min_width = hints.max_width = static_cast<int>(asked.side);
    hints.min_height = hints.max_height = static_cast<int>(asked.side);
    XSetWMNormalHints(x, probe, &hints);
    XMapWindow(x, probe);
    const auto now = [] { return std::chrono::steady_clock::now(); };
    std::optional<PlacedFrame> placed = framedWhen(x, probe, now() + std::chrono::milliseconds(500),
                                                   [](const PlacedFrame&) { return true; });
    if (placed) {
        const PlacedFrame shown = *placed;
        XMoveWindow(x, probe, asked.frameLeft, asked.frameTop);
        placed = framedWhen(x, probe, now() + std::chrono::milliseconds(200),
                            [&](const PlacedFrame& moved) {
                                return moved.left != shown.left || moved.top != shown.top;
                            });
    }
    XDestroyWindow(x, probe);
    XSync(x, False);
    return placed;
}

void Desktop::fitClientArea(sf::WindowHandle, unsigned) const {}

void Desktop::followMonitorScale(sf::WindowHandle, PlaceAfterScaleChange) const {}

XErrorsSurvived::XErrorsSurvived()
    : previous(reinterpret_cast<void (*)()>(XSetErrorHandler(ignoreError))) {}

XErrorsSurvived::~XErrorsSurvived() {
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(previous));
}

Desktop::~Desktop() = default;
Desktop::Desktop(Desktop&&) noexcept = default;
