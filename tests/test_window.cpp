#include "game/Startup.hpp"
#include "game/WindowSize.hpp"
#include "platform/Console.hpp"
#include "platform/Display.hpp"
#include "platform/EventWait.hpp"
#include "support.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/System/Err.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include "platform/Unix/X11.hpp"

#include <X11/Xatom.h>

namespace {

// A Windows 10 caption of 31 pixels and thin borders.
constexpr FrameSize win10{3, 31, 3, 3};

std::vector<int> edges(ScreenArea area) {
    return {area.left, area.top, area.width, area.height};
}

std::vector<int> placed(WindowPlace place) {
    return {place.frameLeft, place.frameTop, static_cast<int>(place.side)};
}

TEST(WindowSize, TheWholeFramedWindowFitsTheWorkAreaCentredOrNearWhereItWasPutAsLargeAsAllowed) {
    const struct {
        const char* name;
        ScreenArea work;
        FrameSize frame;
        float scale;
        std::vector<int> place; // the frame's left and top, the side
    } desktops[] = {
        {"1366 x 768, 40 px task bar", {0, 0, 1366, 728}, win10, 1.f, {333, 0, 694}},
        {"1920 x 1080", {0, 0, 1920, 1040}, win10, 1.f, {557, 103, 800}},
        {"1920 x 1080 at 125%", {0, 0, 1920, 1032}, {4, 39, 4, 4}, 1.25f, {461, 0, 989}},
        {"3840 x 2160 at 200%", {0, 0, 3840, 2080}, {6, 62, 6, 6}, 2.f, {1114, 206, 1600}},
        {"second monitor, bar on top", {1920, 40, 1280, 984}, win10, 1.f, {2157, 115, 800}},
        {"a narrow portrait screen", {0, 0, 600, 1000}, win10, 1.f, {0, 186, 594}},
        {"3200 x 1800 at 200%, guessed", {0, 0, 3200, 1800}, {0, 180, 0, 0}, 2.f, {800, 10, 1600}},
        {"at 50%", {0, 0, 1920, 1080}, {}, 0.5f, {760, 340, 400}},
        {"tiny: the top-left corner first", {0, 0, 120, 90}, win10, 1.f, {7, 0, 100}},
    };
    for (const auto& [name, work, frame, scale, place] : desktops) {
        EXPECT_EQ(placed(placeWindow(work, frame, scale)), place) << name;
    }
    for (const float scale : {0.f, -2.f, std::nanf(""), INFINITY}) {
        EXPECT_EQ(placeWindow({0, 0, 1920, 1080}, {}, scale).side, 800u) << "nonsense: " << scale;
    }
    EXPECT_EQ(guessedFrame({0, 0, 1366, 761}).top, 77) << "a tenth, rounded up";
    // Moved to a 1080p laptop at 150% on the right, Windows suggests the same
    // look there, 1200 px: centred on that, as high as the work area.
    EXPECT_EQ(placed(placeWindow({1920, 0, 1920, 1040}, {5, 46, 5, 5}, 1.5f,
                                 ScreenArea{2400, 100, 1210, 1251})),
              (std::vector<int>{2505, 0, 989}));
    // Back at 100%, suggested across the monitor's edges: moved in the least.
    EXPECT_EQ(placed(placeWindow({0, 0, 1920, 1040}, win10, 1.f, ScreenArea{1700, 300, 806, 834})),
              (std::vector<int>{1114, 206, 800}));
}

TEST(WindowSize, AWindowDraggedOntoAMonitorOfAnotherScaleStaysUnderThePointer) {
    // A monitor at 100% with a 1920 x 1200 laptop at 150% on its right: the
    // window takes the laptop's side and is placed where Windows suggests,
    // centred across, moved only to stay on the desktop
    ScaleChange change{{1920, 0, 1920, 1040}, {5, 46, 5, 5}, 1.5f, {}, true, {0, 0, 3840, 1200}};
    const int places[][4] = {// suggested left and top, then where it goes
                             {1500, 100, 1605, 100},
                             {2600, 700, 2705, 160},
                             {3300, -90, 2841, 0}};
    for (const auto& p : places) {
        change.suggested = {p[0], p[1], 1210, 1251};
        EXPECT_EQ(placed(placeAfterScaleChange(change)), std::vector<int>({p[2], p[3], 989}));
    }
    change.dragged = false; // moved by the system, or by the keyboard: placed anew near there
    EXPECT_EQ(placed(placeAfterScaleChange(change)), (std::vector<int>{2841, 0, 989}));
}

// 1920 x 1080 at 100%, and 2560 x 1440 at 150% to its right with a 40 px task bar.
TEST(WindowSize, WindowsIsToldTheSizeAtTheNewScaleAndAnOpeningWindowKeepsItsCorner) {
    const ScreenArea laptop{1920, 0, 1920, 1040};
    // Onto a 2560 x 1440 monitor at 150%, Windows suggesting a place pushed against its task bar
    const ScaleChange toTheBigMonitor{{1920, 0, 2560, 1400},   {5, 46, 5, 5}, 1.5f,
                                      {2890, 147, 1210, 1251}, false,         {0, 0, 4480, 1440}};
    const struct {
        const char* name;
        ScaleChange change;
        std::optional<ScreenArea> opening;
        std::vector<int> frame;
    } cases[] = {
        {"opened there, centred by the game",
         toTheBigMonitor,
         ScreenArea{2595, 74, 0, 0},
         {2595, 74, 1210, 1251}},
        {"moved there later: near where Windows suggests",
         toTheBigMonitor,
         std::nullopt,
         {2890, 147, 1210, 1251}},
        {"onto a 1080p laptop: as high as its work area, not 1.5 times",
         {laptop, {5, 46, 5, 5}, 1.5f, {1920, 0, 1215, 1261}, true, {0, 0, 3840, 1080}},
         std::nullopt,
         {2028, 0, 999, 1040}},
    };
    for (const auto& [name, change, opening, frame] : cases) {
        EXPECT_EQ(edges(frameAfterScaleChange(change, placeAfterScaleChange, opening)), frame)
            << name;
    }
}

TEST(WindowSize, TheUsableAreaIsTheWorkAreaOnTheMonitorUnderThePointer) {
    // A 1366 x 768 laptop with a 1920 x 1080 monitor to its right, bottoms
    // aligned; the window manager's work area spans both less a 40 px bar.
    const std::vector<ScreenArea> monitors{{0, 312, 1366, 768}, {1366, 0, 1920, 1080}};
    const ScreenArea work{0, 0, 3286, 1040}, elsewhere{5000, 0, 100, 100};
    const struct {
        const char* name;
        std::vector<ScreenArea> monitors;
        std::optional<ScreenArea> work;
        int x, y;
        std::vector<int> usable;
    } cases[] = {
        {"on the laptop", monitors, work, 200, 700, {0, 312, 1366, 728}},
        {"the big monitor's first column", monitors, work, 1366, 700, {1366, 0, 1920, 1040}},
        {"a work area elsewhere: all of it", monitors, elsewhere, 1366, 0, {1366, 0, 1920, 1080}},
        {"no monitors told: the whole screen", {}, {}, 1366, 0, {0, 0, 3286, 1080}},
        {"below the big monitor: the first one", monitors, {}, 1366, 2000, {0, 312, 1366, 768}},
    };
    for (const auto& [name, shown, told, x, y, usable] : cases) {
        const DesktopLayout layout{{0, 0, 3286, 1080}, shown, x, y, told};
        EXPECT_EQ(edges(usableArea(layout)), usable) << name;
    }
    EXPECT_EQ(overlap({0, 0, 10, 10}, {20, 0, 10, 10}).width, 0) << "side by side";
    EXPECT_EQ(overlap({0, 0, 10, 10}, {0, 20, 10, 10}).height, 0) << "one above the other";
}

void setCardinals(Display* x, const char* name, std::vector<long> values, Atom type = XA_CARDINAL,
                  Window window = None) {
    XChangeProperty(x, window == None ? DefaultRootWindow(x) : window, XInternAtom(x, name, False),
                    type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()),
                    static_cast<int>(values.size()));
    XSync(x, False);
}

std::vector<int> sides(std::optional<FrameSize> frame) {
    return frame ? std::vector<int>{frame->left, frame->top, frame->right, frame->bottom}
                 : std::vector<int>{};
}

// Here the X server is a bare Xvfb; what a window manager would tell is set by hand.
TEST(Desktop, TheLayoutTheScaleAndTheFrameAreWhatTheServerAndTheWindowManagerTell) {
    Display* const x = XOpenDisplay(nullptr);
    ASSERT_NE(x, nullptr);
    const Window root = DefaultRootWindow(x);
    const std::vector<int> screen{0, 0, DisplayWidth(x, 0), DisplayHeight(x, 0)};
    DesktopLayout layout = Desktop().layout();
    EXPECT_EQ(edges(layout.screen), screen);
    ASSERT_EQ(layout.monitors.size(), 1u);
    EXPECT_EQ(edges(layout.monitors[0]), screen);
    EXPECT_FALSE(layout.workArea) << "no window manager runs here";
    EXPECT_EQ(Desktop().scale(), 1.f);
    EXPECT_EQ(sides(Desktop().frame()), (std::vector<int>{0, 0, 0, 0})) << "nobody draws one";

    // Two virtual desktops, the second one current, and text at 144 dpi.
    setCardinals(x, "_NET_WORKAREA", {0, 0, screen[2], screen[3], 10, 30, 600, 500});
    setCardinals(x, "_NET_CURRENT_DESKTOP", {1});
    const char resources[] = "Xft.dpi:\t144\n";
    XChangeProperty(x, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources), sizeof resources - 1);
    XSync(x, False);
    const Desktop desktop;
    layout = desktop.layout();
    EXPECT_EQ(desktop.scale(), 1.5f);
    ASSERT_TRUE(layout.workArea);
    EXPECT_EQ(edges(*layout.workArea), (std::vector<int>{10, 30, 600, 500}));
    // A current desktop past the list's end: the first one's.
    for (const long current : {2L, 0xFFFFFFFFL}) {
        setCardinals(x, "_NET_CURRENT_DESKTOP", {current});
        layout = desktop.layout();
        ASSERT_TRUE(layout.workArea);
        EXPECT_EQ(edges(*layout.workArea), screen) << current;
    }
    // A window manager that does not say what frame it draws: nothing told.
    setCardinals(x, "_NET_SUPPORTING_WM_CHECK", {static_cast<long>(root)}, XA_WINDOW);
    EXPECT_FALSE(desktop.frame());
    for (const char* name : {"_NET_WORKAREA", "_NET_CURRENT_DESKTOP", "_NET_SUPPORTING_WM_CHECK"}) {
        XDeleteProperty(x, root, XInternAtom(x, name, False));
    }
    XDeleteProperty(x, root, XA_RESOURCE_MANAGER);
    XCloseDisplay(x);

    const std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", ":9999", 1);
    const Desktop none;
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_FALSE(none.reachable());
    EXPECT_EQ(none.problem(), "cannot open the X display \":9999\"");
}

TEST(Desktop, AWindowManagerIsToldByWhatItIsNotByWhatItLeftBehind) {
    Display* const x = XOpenDisplay(nullptr);
    ASSERT_NE(x, nullptr);
    const Window gone = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(x, gone);
    const Window plain = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, 0, 0);
    // A window manager that ran would be asked for its frame, and never answer.
    setCardinals(x, "_NET_SUPPORTED",
                 {static_cast<long>(XInternAtom(x, "_NET_REQUEST_FRAME_EXTENTS", False))}, XA_ATOM);
    const struct {
        const char* name;
        Window checked;         // named by the root's _NET_SUPPORTING_WM_CHECK
        Window ownsWmS0;        // the owner of the screen's WM_S0 selection
        std::vector<int> frame; // none at all, or empty: not told, the guess applies
    } cases[] = {
        {"nothing manages windows", None, None, {0, 0, 0, 0}},
        {"a window manager that has exited", gone, None, {0, 0, 0, 0}},
        {"a window that does not name itself", plain, None, {0, 0, 0, 0}},
        {"an older window manager", gone, plain, {}},
    };
    const Desktop desktop;
    for (const auto& [name, checked, ownsWmS0, frame] : cases) {
        setCardinals(x, "_NET_SUPPORTING_WM_CHECK", {static_cast<long>(checked)}, XA_WINDOW);
        XSetSelectionOwner(x, XInternAtom(x, "WM_S0", False), ownsWmS0, CurrentTime);
        XSync(x, False);
        EXPECT_EQ(sides(desktop.frame()), frame) << name;
    }
    XDeleteProperty(x, DefaultRootWindow(x), XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", False));
    XDeleteProperty(x, DefaultRootWindow(x), XInternAtom(x, "_NET_SUPPORTED", False));
    XCloseDisplay(x);
}

TEST(Desktop, TheWindowOpensWherePlacedAndOffersItsIconsAsArgb) {
    const Desktop desktop;
    sf::RenderWindow window;
    openWindow(window, desktop);
    const sf::VideoMode screen = sf::VideoMode::getDesktopMode();
    const unsigned side = std::min({800u, screen.width, screen.height});
    EXPECT_EQ(window.getSize(), sf::Vector2u(side, side)) << "no frame to leave room for";
    EXPECT_EQ(window.getPosition(), sf::Vector2i(static_cast<int>(screen.width - side) / 2,
                                                 static_cast<int>(screen.height - side) / 2))
        << "left where SFML centres it";

    sf::Image wide;
    wide.create(2, 1, sf::Color(0x10, 0x20, 0x30, 0x40));
    sf::Image narrow;
    narrow.create(1, 1, sf::Color(1, 2, 3, 4));
    EXPECT_FALSE(desktop.offerIcons(window.getSystemHandle(), {sf::Image()})) << "nothing to offer";
    ASSERT_TRUE(desktop.offerIcons(window.getSystemHandle(), {wide, sf::Image(), narrow}));
    Display* const x = XOpenDisplay(nullptr);
    ASSERT_NE(x, nullptr);
    const std::vector<long> icons = cardinals(x, window.getSystemHandle(), "_NET_WM_ICON");
    XCloseDisplay(x);
    EXPECT_EQ(icons, (std::vector<long>{2, 1, 0x40102030, 0x40102030, 1, 1, 0x04010203}));
}

// Mutter keeps a minimized window mapped, and says so only in its properties.
TEST(EventWait, AMappedWindowIsMinimizedWhileAWindowManagerRunsAndCallsItSo) {
    const Desktop desktop;
    sf::RenderWindow window(sf::VideoMode(100, 100), "Tangleroot");
    EventWait wait(window, desktop);
    Display* const x = XOpenDisplay(nullptr);
    ASSERT_NE(x, nullptr);
    const Window manager = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, 0, 0);
    const Atom hidden = XInternAtom(x, "_NET_WM_STATE_HIDDEN", False);
    const Atom above = XInternAtom(x, "_NET_WM_STATE_ABOVE", False);
    const long normal = NormalState, iconic = IconicState;
    const struct {
        const char* name;
        Window ownsWmS0;
        long wmState;
        std::vector<long> netWmState;
        bool minimized, redraw;
    } cases[] = {
        {"iconified", manager, iconic, {}, true, false},
        {"hidden, WM_STATE not yet iconic", manager, normal, {long(hidden)}, true, false},
        {"restored, kept above", manager, normal, {long(above)}, false, true},
        {"iconified again", manager, iconic, {long(hidden)}, true, false},
        {"its window manager died: Iconic left behind", None, iconic, {long(hidden)}, false, true},
    };
    wait.takeWindowState();
    for (const auto& [name, ownsWmS0, wmState, netWmState, minimized, redraw] : cases) {
        XSetSelectionOwner(x, XInternAtom(x, "WM_S0", False), ownsWmS0, CurrentTime);
        const Window handle = window.getSystemHandle();
        setCardinals(x, "WM_STATE", {wmState, 0}, XInternAtom(x, "WM_STATE", False), handle);
        setCardinals(x, "_NET_WM_STATE", netWmState, XA_ATOM, handle);
        wait.sleep(sf::milliseconds(500));
        const WindowState seen = wait.takeWindowState();
        EXPECT_EQ(seen.minimized, minimized) << name;
        EXPECT_EQ(seen.redraw, redraw) << name;
    }
    XDestroyWindow(x, manager);
    XCloseDisplay(x);
}

TEST(Desktop, TheRefreshRateIsTheCurrentModesOrNoneWhereTheServerDoesNotSay) {
    const struct {
        const char* name;
        unsigned long dotClock;
        unsigned hTotal, vTotal;
        unsigned long flags;
        float rate;
    } modes[] = {
        {"1920 x 1080 at 60 Hz", 148500000, 2200, 1125, 0, 60.f},
        {"2560 x 1440 at 144 Hz", 586590000, 2720, 1497, 0, 144.06f},
        {"1920 x 1080 interlaced: 60 fields", 74250000, 2200, 1125, RR_Interlace, 60.f},
        {"320 x 200 double scanned", 12587500, 400, 262, RR_DoubleScan, 60.05f},
        {"Xvfb's: no timings", 0, 0, 0, 0, 0.f},
    };
    for (const auto& [name, dotClock, hTotal, vTotal, flags, rate] : modes) {
        XRRModeInfo mode{};
        mode.dotClock = dotClock;
        mode.hTotal = hTotal;
        mode.vTotal = vTotal;
        mode.modeFlags = flags;
        EXPECT_NEAR(refreshRateOf(mode), rate, 0.01f) << name;
    }
    sf::RenderWindow window(sf::VideoMode(100, 100), "Tangleroot");
    EXPECT_EQ(Desktop().refreshRate(window.getSystemHandle()), 0.f) << "Xvfb tells no rate";
}

TEST(Console, SfmlsOwnLinesDoNotReachStderr) {
    std::streambuf* const before = sf::err().rdbuf();
    silenceSfmlMessages();
    ::testing::internal::CaptureStderr();
    sf::Font font;
    EXPECT_FALSE(font.loadFromFile("no such font.ttf"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    sf::err().rdbuf(before);
}

TEST(Console, AWriteToTheConsoleNeverSplitsASurrogatePair) {
    const std::u16string clef = u"\U0001D11E"; // outside the BMP: two units
    const struct {
        const char* name;
        std::u16string text;
        std::size_t most, units;
    } cases[] = {
        {"all of it fits", u"abc", 8, 3},
        {"cut between letters", u"abcdef", 4, 4},
        {"the pair on the cut waits", u"abc" + clef, 4, 3},
        {"the pair before the cut", u"ab" + clef + u"c", 4, 4},
        {"a pair that ends the text", u"abc" + clef, 5, 5},
    };
    for (const auto& [name, text, most, units] : cases) {
        EXPECT_EQ(unitsInWrite(text.data(), text.size(), most), units) << name;
    }
}

} // namespace
