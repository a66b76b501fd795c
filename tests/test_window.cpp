#include "game/Phases.hpp"
#include "game/WindowSize.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Desktop {
    const char* name;
    ScreenArea work;
    FrameSize frame;
    float scale;
    unsigned side; // the largest allowed
};

// A Windows 10 caption of 31 pixels and thin borders, at 100% and at 200%.
constexpr FrameSize windowsFrame{3, 31, 3, 3};
constexpr FrameSize windowsFrameAt200{6, 62, 6, 6};

void expectFramedInside(const WindowPlace& place, const Desktop& desktop) {
    const ScreenArea& work = desktop.work;
    const FrameSize& frame = desktop.frame;
    const int right = place.frameLeft + frame.left + static_cast<int>(place.side) + frame.right;
    const int bottom = place.frameTop + frame.top + static_cast<int>(place.side) + frame.bottom;
    EXPECT_GE(place.frameLeft, work.left) << desktop.name;
    EXPECT_GE(place.frameTop, work.top) << desktop.name;
    EXPECT_LE(right, work.left + work.width) << desktop.name;
    EXPECT_LE(bottom, work.top + work.height) << desktop.name;
    // Centred: what is left over is shared out within a pixel.
    EXPECT_LE(std::abs((place.frameLeft - work.left) - (work.left + work.width - right)), 1)
        << desktop.name;
    EXPECT_LE(std::abs((place.frameTop - work.top) - (work.top + work.height - bottom)), 1)
        << desktop.name;
}

TEST(WindowSize, TheWholeFramedWindowFitsTheWorkAreaAndIsAsLargeAsAllowed) {
    const Desktop desktops[] = {
        {"1366 x 768, 40 px task bar", {0, 0, 1366, 728}, windowsFrame, 1.f, 694},
        {"1536 x 864 (1080p at 125%, unaware)", {0, 0, 1536, 824}, windowsFrame, 1.f, 790},
        {"1600 x 900", {0, 0, 1600, 860}, windowsFrame, 1.f, 800},
        {"1920 x 1080", {0, 0, 1920, 1040}, windowsFrame, 1.f, 800},
        {"1920 x 1080 at 125%", {0, 0, 1920, 1032}, {4, 39, 4, 4}, 1.25f, 989},
        {"3840 x 2160 at 200%", {0, 0, 3840, 2080}, windowsFrameAt200, 2.f, 1600},
        {"second monitor, task bar on top", {1920, 40, 1280, 984}, windowsFrame, 1.f, 800},
        {"a narrow portrait screen", {0, 0, 600, 1000}, windowsFrame, 1.f, 594},
        {"3200 x 1800 at 200%, frame not told", {0, 0, 3200, 1800}, {0, 180, 0, 0}, 2.f, 1600},
    };
    for (const Desktop& desktop : desktops) {
        const WindowPlace place = placeWindow(desktop.work, desktop.frame, desktop.scale);
        EXPECT_EQ(place.side, desktop.side) << desktop.name;
        expectFramedInside(place, desktop);
    }
}

TEST(WindowSize, ANonsenseScaleCountsAsOneAndATinyAreaStillGetsAWindow) {
    for (const float scale : {0.f, -2.f, std::nanf(""), INFINITY}) {
        EXPECT_EQ(placeWindow({0, 0, 1920, 1080}, {}, scale).side, 800u) << scale;
    }
    EXPECT_EQ(placeWindow({0, 0, 1920, 1080}, {}, 0.5f).side, 400u);
    EXPECT_EQ(placeWindow({0, 0, 120, 90}, windowsFrame, 1.f).side, smallestWindowSide);
    EXPECT_EQ(guessedFrame({0, 0, 1366, 761}).top, 77) << "a tenth, rounded up";
}

TEST(WindowSize, TheUsableAreaIsTheWorkAreaOnTheMonitorUnderThePointer) {
    // A 1366 x 768 laptop with a 1920 x 1080 monitor to its right, bottoms
    // aligned; the window manager's work area spans both less a 40 px bar.
    DesktopLayout layout;
    layout.screen = {0, 0, 3286, 1080};
    layout.monitors = {{0, 312, 1366, 768}, {1366, 0, 1920, 1080}};
    layout.workArea = ScreenArea{0, 0, 3286, 1040};
    layout.pointerX = 200;
    layout.pointerY = 700;
    const ScreenArea laptop = usableArea(layout);
    EXPECT_EQ(std::vector<int>({laptop.left, laptop.top, laptop.width, laptop.height}),
              std::vector<int>({0, 312, 1366, 728}));
    const Desktop onLaptop{"laptop", laptop, windowsFrame, 1.f, 694};
    const WindowPlace place = placeWindow(laptop, windowsFrame, 1.f);
    EXPECT_EQ(place.side, 694u);
    expectFramedInside(place, onLaptop);

    layout.pointerX = 1366; // the big monitor's first column
    EXPECT_EQ(usableArea(layout).left, 1366);
    EXPECT_EQ(usableArea(layout).height, 1040);

    EXPECT_EQ(overlap({0, 0, 10, 10}, {20, 0, 10, 10}).width, 0) << "side by side";
    EXPECT_EQ(overlap({0, 0, 10, 10}, {0, 20, 10, 10}).height, 0) << "one above the other";
    // A work area off the monitor says nothing about it: the whole monitor.
    layout.workArea = ScreenArea{5000, 0, 100, 100};
    EXPECT_EQ(usableArea(layout).width, 1920);
    // No monitors told: the whole screen, whatever the pointer.
    layout.monitors.clear();
    layout.workArea.reset();
    EXPECT_EQ(usableArea(layout).width, 3286);
    // The pointer outside every monitor: the first one.
    layout.monitors = {{0, 0, 1366, 768}, {1366, 0, 1920, 1080}};
    layout.pointerY = 2000;
    EXPECT_EQ(usableArea(layout).width, 1366);
}

TEST(WindowSize, AWindowShownAgainIsDrawnAtOnce) {
    useGameTextures();
    std::vector<Spider> spiders;
    std::vector<Box> boxes;
    int money = 0;
    sf::Event event{};
    for (const auto type : {sf::Event::Resized, sf::Event::GainedFocus, sf::Event::MouseEntered}) {
        event.type = type;
        EXPECT_TRUE(handleInput(event, spiders, boxes, money, {0.f, 0.f})) << type;
    }
    for (const auto type : {sf::Event::MouseMoved, sf::Event::MouseLeft, sf::Event::KeyPressed}) {
        event.type = type;
        EXPECT_FALSE(handleInput(event, spiders, boxes, money, {0.f, 0.f})) << type;
    }
}

} // namespace

namespace {

TEST(WindowSize, ThingsArePicturedSmoothlyAndTheBackgroundAsItIs) {
    useGameTextures();
    for (const std::string& name : gameTextureNames()) {
        const sf::Texture& texture = TextureManager::getTexture(name);
        EXPECT_EQ(texture.isSmooth(), name != "background") << name;
    }
}

} // namespace
