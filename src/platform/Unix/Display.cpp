#include "platform/Display.hpp"

#include "platform/Unix/X11.hpp"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

std::vector<long> cardinals(Display* display, Window window, const char* name) {
    Atom type = None, property = XInternAtom(display, name, True);
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* data = nullptr;
    std::vector<long> values;
    if (property != None &&
        XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &left, &data) == Success &&
        data != nullptr && format == 32) {
        const long* items = reinterpret_cast<const long*>(data); // Xlib's 32-bit items are longs
        values.assign(items, items + count);
    }
    XFree(data);
    return values;
}

// A client owns the WM_S0 selection, or one redirects the root's children
// (twm owns no selection).
bool windowsAreManaged(Display* x, Window root) {
    const std::string selection = "WM_S" + std::to_string(DefaultScreen(x));
    XWindowAttributes attributes{};
    return XGetSelectionOwner(x, XInternAtom(x, selection.c_str(), False)) != None ||
           (XGetWindowAttributes(x, root, &attributes) != 0 &&
            (attributes.all_event_masks & SubstructureRedirectMask) != 0);
}

float refreshRateOf(const XRRModeInfo& mode) {
    const double lines = mode.vTotal * (mode.modeFlags & RR_DoubleScan ? 2.0 : 1.0) /
                         (mode.modeFlags & RR_Interlace ? 2.0 : 1.0);
    return mode.hTotal > 0 && lines > 0
               ? static_cast<float>(static_cast<double>(mode.dotClock) / (mode.hTotal * lines))
               : 0.f;
}

namespace {

// Each extension is asked first: Xlib prints a line for a call to one the server lacks.
bool hasRandR(Display* x) {
    int events = 0, errors = 0;
    return XRRQueryExtension(x, &events, &errors);
}

// The window the root's _NET_SUPPORTING_WM_CHECK names must name itself: one
// that exited leaves the root's property behind, naming a window gone.
bool ewmhWindowManagerRuns(Display* x, Window root) {
    const std::vector<long> check = cardinals(x, root, "_NET_SUPPORTING_WM_CHECK");
    if (check.size() != 1) {
        return false;
    }
    XSync(x, False); // errors of what is queued before are not ours to survive
    const XErrorsSurvived survived;
    return cardinals(x, static_cast<Window>(check[0]), "_NET_SUPPORTING_WM_CHECK") == check;
}

// Asks `done` every 10 ms until it says yes, for at most `bound`.
template <typename Done> bool within(std::chrono::milliseconds bound, Done done) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        poll(nullptr, 0, 10);
    }
    return true;
}

// Fixed in size: some window managers draw a thinner frame round such a window.
Window probeWindow(Display* x, WindowPlace place, long flags) {
    const Window probe = XCreateSimpleWindow(x, DefaultRootWindow(x), place.frameLeft,
                                             place.frameTop, place.side, place.side, 0, 0, 0);
    XSizeHints hints{};
    hints.flags = flags | PMinSize | PMaxSize;
    hints.min_width = hints.max_width = hints.min_height = hints.max_height =
        static_cast<int>(place.side);
    XSetWMNormalHints(x, probe, &hints);
    return probe;
}

// The frame's outer corner and sides; nothing while it is not framed and shown.
std::optional<PlacedFrame> framedAt(Display* x, Window window) {
    const Window root = DefaultRootWindow(x);
    Window frame = window, parent = window, rootBack = None, child = None;
    while (parent != root) { // the frame is the root's child that holds the window
        frame = parent;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x, frame, &rootBack, &parent, &children, &count)) {
            return std::nullopt;
        }
        XFree(children);
    }
    XWindowAttributes inner{}, outer{};
    int clientLeft = 0, clientTop = 0;
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

} // namespace

Desktop::Desktop() {
    // SFML aborts the program when it cannot open the display: ask first.
    if (Display* const display = XOpenDisplay(nullptr)) {
        connection_.reset(new Connection{display});
        return;
    }
    const char* const name = std::getenv("DISPLAY");
    problem_ = name != nullptr && *name != '\0'
                   ? "cannot open the X display \"" + std::string(name) + "\""
                   : "no display (DISPLAY is not set)";
}

DesktopLayout Desktop::layout() const {
    Display* const x = connection_->x;
    const Window root = DefaultRootWindow(x);
    DesktopLayout layout;
    layout.screen = {0, 0, DisplayWidth(x, DefaultScreen(x)), DisplayHeight(x, DefaultScreen(x))};
    int events = 0, errors = 0, major = 0, minor = 0, count = 0;
    if (hasRandR(x) && XRRQueryVersion(x, &major, &minor) && major * 100 + minor >= 105) {
        XRRMonitorInfo* const list = XRRGetMonitors(x, root, True, &count);
        for (int i = 0; i < count; ++i) {
            layout.monitors.push_back({list[i].x, list[i].y, list[i].width, list[i].height});
        }
        XRRFreeMonitors(list);
    } else if (XineramaQueryExtension(x, &events, &errors) && XineramaIsActive(x)) {
        XineramaScreenInfo* const list = XineramaQueryScreens(x, &count);
        for (int i = 0; i < count; ++i) {
            layout.monitors.push_back(
                {list[i].x_org, list[i].y_org, list[i].width, list[i].height});
        }
        XFree(list);
    }
    Window rootBack = None, child = None;
    int windowX = 0, windowY = 0;
    unsigned buttons = 0;
    XQueryPointer(x, root, &rootBack, &child, &layout.pointerX, &layout.pointerY, &windowX,
                  &windowY, &buttons);
    // One work area per virtual desktop: the current one's, else the first's.
    const std::vector<long> areas = cardinals(x, root, "_NET_WORKAREA");
    const std::vector<long> current = cardinals(x, root, "_NET_CURRENT_DESKTOP");
    const long desk = current.empty() ? 0 : current[0];
    const std::size_t at = desk >= 0 && desk < static_cast<long>(areas.size() / 4) ? desk * 4 : 0;
    if (areas.size() >= 4) {
        layout.workArea =
            ScreenArea{static_cast<int>(areas[at]), static_cast<int>(areas[at + 1]),
                       static_cast<int>(areas[at + 2]), static_cast<int>(areas[at + 3])};
    }
    return layout;
}

float Desktop::scale() const {
    const char* const resources = XResourceManagerString(connection_->x);
    if (resources == nullptr) {
        return 1.f;
    }
    XrmInitialize();
    const XrmDatabase database = XrmGetStringDatabase(resources);
    char* type = nullptr;
    XrmValue value{};
    const double dpi = XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr
                           ? std::strtod(value.addr, nullptr)
                           : 0.0;
    XrmDestroyDatabase(database);
    return dpi > 0.0 ? static_cast<float>(dpi / 96.0) : 1.f;
}

std::optional<FrameSize> Desktop::frame() const {
    Display* const x = connection_->x;
    const Window root = DefaultRootWindow(x);
    if (!ewmhWindowManagerRuns(x, root)) {
        // An older one (twm) draws a frame it does not tell of.
        return windowsAreManaged(x, root) ? std::nullopt : std::optional<FrameSize>(FrameSize{});
    }
    const std::vector<long> supported = cardinals(x, root, "_NET_SUPPORTED");
    const Atom request = XInternAtom(x, "_NET_REQUEST_FRAME_EXTENTS", False);
    if (std::count(supported.begin(), supported.end(), static_cast<long>(request)) == 0) {
        return std::nullopt;
    }
    // Asked of a window not yet shown: the answer is its _NET_FRAME_EXTENTS.
    const Window probe = probeWindow(x, {0, 0, 100}, 0);
    XEvent message{};
    message.xclient = {ClientMessage, 0, False, x, probe, request, 32, {}};
    XSendEvent(x, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
    std::vector<long> sides;
    within(std::chrono::milliseconds(500),
           [&] { return (sides = cardinals(x, probe, "_NET_FRAME_EXTENTS")).size() == 4; });
    XDestroyWindow(x, probe);
    XFlush(x);
    return sides.size() != 4
               ? std::nullopt
               : std::optional<FrameSize>({static_cast<int>(sides[0]), static_cast<int>(sides[2]),
                                           static_cast<int>(sides[1]), static_cast<int>(sides[3])});
}

bool Desktop::offerIcons(sf::WindowHandle window, const std::vector<sf::Image>& icons) const {
    std::vector<unsigned long> data; // width, height, then ARGB pixels, for each picture
    for (const sf::Image& icon : icons) {
        const std::size_t size = std::size_t{icon.getSize().x} * icon.getSize().y;
        if (size > 0) {
            data.insert(data.end(), {icon.getSize().x, icon.getSize().y});
        }
        for (const sf::Uint8* p = icon.getPixelsPtr(); p != icon.getPixelsPtr() + 4 * size;
             p += 4) {
            data.push_back(static_cast<unsigned long>(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2]);
        }
    }
    if (data.empty()) {
        return false;
    }
    Display* const x = connection_->x;
    XChangeProperty(x, window, XInternAtom(x, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(data.data()),
                    static_cast<int>(data.size()));
    XSync(x, False);
    return true;
}

std::optional<PlacedFrame> Desktop::probeFrame(WindowPlace asked) const {
    Display* const x = connection_->x;
    // Shown, then moved as the game's window is: some window managers place a
    // frame shown by another corner than a frame moved.
    const Window probe = probeWindow(x, asked, USPosition);
    XMapWindow(x, probe);
    std::optional<PlacedFrame> placed;
    if (within(std::chrono::milliseconds(500), [&] { return (placed = framedAt(x, probe)); })) {
        const PlacedFrame shown = *placed;
        XMoveWindow(x, probe, asked.frameLeft, asked.frameTop);
        within(std::chrono::milliseconds(200), [&] {
            placed = framedAt(x, probe);
            return placed && (placed->left != shown.left || placed->top != shown.top);
        });
    }
    XDestroyWindow(x, probe);
    XSync(x, False);
    return placed;
}

float Desktop::refreshRate(sf::WindowHandle window) const {
    Display* const x = connection_->x;
    XWindowAttributes attributes{};
    int centreX = 0, centreY = 0;
    Window child = None;
    if (!hasRandR(x) || !XGetWindowAttributes(x, window, &attributes) ||
        !XTranslateCoordinates(x, window, DefaultRootWindow(x), attributes.width / 2,
                               attributes.height / 2, &centreX, &centreY, &child)) {
        return 0.f;
    }
    XRRScreenResources* const resources = XRRGetScreenResourcesCurrent(x, DefaultRootWindow(x));
    float rate = 0.f;
    for (int i = 0; resources != nullptr && i < resources->ncrtc && rate == 0.f; ++i) {
        XRRCrtcInfo* const crtc = XRRGetCrtcInfo(x, resources, resources->crtcs[i]);
        const bool holds = crtc != nullptr && centreX >= crtc->x && centreY >= crtc->y &&
                           centreX < crtc->x + static_cast<int>(crtc->width) &&
                           centreY < crtc->y + static_cast<int>(crtc->height);
        for (int m = 0; holds && m < resources->nmode; ++m) {
            rate = resources->modes[m].id == crtc->mode ? refreshRateOf(resources->modes[m]) : rate;
        }
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(resources);
    return rate;
}

void Desktop::fitClientArea(sf::WindowHandle, unsigned) const {}
void Desktop::followMonitorScale(sf::WindowHandle, PlaceAfterScaleChange) const {}

XErrorsSurvived::XErrorsSurvived()
    : previous(reinterpret_cast<void (*)()>(
          XSetErrorHandler([](Display*, XErrorEvent*) { return 0; }))) {}

XErrorsSurvived::~XErrorsSurvived() {
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(previous));
}

Desktop::~Desktop() = default;
Desktop::Desktop(Desktop&&) noexcept = default;
