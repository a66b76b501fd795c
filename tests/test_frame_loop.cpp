#include "game/FrameLoop.hpp"
#include "game/Phases.hpp"
#include "support.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/System/Sleep.hpp>
#include <SFML/Window/Window.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace {

class Frames : public ::testing::Test {
protected:
    void SetUp() override { useGameTextures(); }

    // The signature of the scene as the game composes it.
    std::uint64_t scene() {
        Picture picture;
        composeScene(picture, TextureManager::getTexture("background"), spiders, boxes, label,
                     money, 1.f);
        return picture.signature();
    }

    std::vector<Spider> spiders;
    std::vector<Box> boxes;
    int money = 0;
    sf::Text label;
};

} // namespace

TEST_F(Frames, OnlyAChangedPictureAnInputOrTheSafetyRedrawIsDrawnAndNothingWhileMinimized) {
    spiders = {Spider(3, 100, 100)};
    boxes = {Box(300, 300)};
    FrameSchedule schedule;
    sf::Time now = sf::seconds(5);
    const auto ask = [&](bool redraw = false, bool minimized = false) {
        return FrameAsk{scene(), redraw, false, minimized};
    };
    // Asks as the loop does, and draws when told to.
    const auto drawn = [&](bool redraw = false, bool minimized = false) {
        const bool needed = frameNeedsDrawing(schedule, ask(redraw, minimized), now);
        if (needed) {
            advancePastFrame(schedule, ask().scene, now);
        }
        return needed;
    };
    EXPECT_FALSE(drawn(true, true)) << "minimized, even the first frame waits";
    EXPECT_TRUE(drawn()) << "the first frame";
    EXPECT_FALSE(drawn());
    EXPECT_TRUE(drawn(true)) << "an input event";

    const std::vector<std::function<void()>> changes{
        [&] { spiders[0].sprite.move(0.5f, 0); },
        [&] { spiders[0].sprite.move(0, 0.5f); },
        [&] { spiders[0].evolve(); },
        [&] { boxes[0].hit(); },
        [&] { ++money; },
        [&] { spiders.emplace_back(1, 0, 0); },
        [&] { std::swap(spiders[0], spiders[1]); },
        [&] { boxes.pop_back(); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        changes[i]();
        EXPECT_TRUE(drawn()) << "change " << i;
        EXPECT_FALSE(drawn()) << "change " << i;
    }

    // With nothing due, the loop rests and draws nothing, however long.
    now += sf::seconds(60);
    EXPECT_FALSE(drawn());
    EXPECT_GT(restAfterFrame(schedule, ask(), Waits{}, now), sf::seconds(60));

    std::set<std::uint64_t> amounts;
    for (money = 0; money < 4096; ++money) {
        amounts.insert(ask().scene);
    }
    EXPECT_EQ(amounts.size(), 4096u) << "two amounts of money look the same to the signature";
}

// The loop as main runs it, on a test clock: it wakes at each input event or
// when its rest is over, reads every event that has come, updates, draws if
// asked and rests. A minute of moves over the board at a mouse's rate, with a
// quick click now and then, then a press on a spider and a second's drag.
TEST_F(Frames, ADraggedSpiderFollowsEveryMoveWithinAFramePeriodAfterAnyMinuteOfMoves) {
    sf::RenderTexture window;
    ASSERT_TRUE(window.create(800, 800));
    std::mt19937 rng(5);
    for (const int rate : {125, 500, 1000}) {
        SCOPED_TRACE(rate);
        spiders = {Spider(2, 600, 100), Spider(1, 400, 400)};
        spiders[0].moveInterval = spiders[1].moveInterval = 100000000; // no steps in the way
        std::vector<std::pair<sf::Time, sf::Event>> inputs;
        const auto add = [&](sf::Time at, sf::Event::EventType type, int x, int y) {
            inputs.emplace_back(at, mouseEvent(type, x, y));
        };
        const sf::Time between = sf::microseconds(1000000 / rate);
        for (int i = 0; i < 60 * rate; ++i) {
            add(between * static_cast<sf::Int64>(i), sf::Event::MouseMoved, i % 700, 750 - i % 700);
        }
        for (int second = 5; second < 60; second += 10) {
            add(sf::seconds(second), sf::Event::MouseButtonPressed, 620, 120);
            add(sf::seconds(second) + sf::milliseconds(3), sf::Event::MouseButtonReleased, 620,
                120);
        }
        std::stable_sort(inputs.begin(), inputs.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        const sf::Time pressAt = sf::seconds(60);
        add(pressAt, sf::Event::MouseButtonPressed, 430, 430);
        for (int i = 1; i <= rate; ++i) {
            add(pressAt + between * static_cast<sf::Int64>(i), sf::Event::MouseMoved, 430 + i % 300,
                430);
        }
        const sf::Time lastMove = inputs.back().first;
        add(lastMove + sf::milliseconds(300), sf::Event::MouseButtonReleased, 0, 0);

        FrameSchedule schedule;
        sf::Time now, lastMoveShownAt = farAhead, pacerAhead, longestHeldSleep;
        int heldFrames = 0;
        for (std::size_t next = 0; next < inputs.size() || now < lastMove + sf::seconds(1);) {
            InputSeen input;
            for (; next < inputs.size() && inputs[next].first <= now; ++next) {
                handleInput(inputs[next].second, window, spiders, boxes, money, input);
            }
            updateSpiders(spiders, money, rng);
            const FrameAsk ask{scene(), input.redraw, draggedSpider(spiders) < spiders.size(),
                               false};
            if (frameNeedsDrawing(schedule, ask, now)) {
                advancePastFrame(schedule, ask.scene, now);
                heldFrames += ask.dragging && now >= pressAt;
                if (ask.dragging && now >= lastMove) {
                    lastMoveShownAt = std::min(lastMoveShownAt, now);
                }
            }
            pacerAhead = std::max(pacerAhead, schedule.nextFrame - now);
            const sf::Time wake =
                now + restAfterFrame(schedule, ask, {untilSpidersMove(spiders)}, now);
            if (next < inputs.size() && inputs[next].first < wake) {
                now = inputs[next].first; // input ends every sleep
            } else {
                longestHeldSleep =
                    ask.dragging ? std::max(longestHeldSleep, wake - now) : longestHeldSleep;
                now = std::max(wake, now + sf::microseconds(1));
            }
        }
        const auto ms = [](sf::Time time) { return time.asSeconds() * 1000; };
        EXPECT_LE(ms(pacerAhead), ms(framePeriodAt(0)))
            << "the next frame more than a period ahead";
        EXPECT_LE(ms(longestHeldSleep), ms(framePeriodAt(0)))
            << "a sleep while held ended neither at input nor within a period";
        EXPECT_LE(ms(lastMoveShownAt - lastMove), ms(framePeriodAt(0)))
            << "the last move shown late";
        EXPECT_LE(heldFrames, 61 + 20) << "more than one frame a period while held";
        EXPECT_GE(heldFrames, 55) << "a held spider is drawn as it moves";
        EXPECT_EQ(draggedSpider(spiders), spiders.size()) << "the release was read";
    }
}

TEST_F(Frames, TheLoopRestsUntilTheFirstThingDueOrAtOnceForADropAndASecondWhileMinimized) {
    const sf::Time far = sf::seconds(30), now = sf::seconds(10);
    FrameSchedule schedule;
    advancePastFrame(schedule, 1, now);
    const auto rest = [&](const Waits& waits, std::uint64_t scene = 1, bool minimized = false) {
        return restAfterFrame(schedule, {scene, false, true, minimized}, waits, now);
    };
    EXPECT_EQ(rest({far, sf::seconds(7), sf::seconds(9)}), sf::seconds(7));
    EXPECT_EQ(rest({far, far, sf::seconds(2)}), sf::seconds(2));
    EXPECT_EQ(rest({sf::seconds(3), far, far}), sf::seconds(3));
    EXPECT_EQ(rest({far, far, far}, 2), framePeriodAt(0)) << "a dragged spider's next frame";

    // Minimized: at most one wake-up a second, whatever is due.
    EXPECT_EQ(rest({sf::milliseconds(16), far, far}, 2, true), minimizedRest);
    EXPECT_EQ(rest({far, far, sf::seconds(5)}, 1, true), sf::seconds(5));
}

TEST_F(Frames, SpidersMoveJustAfterTheSoonestStepAtOnceForADropAndNotAfterADraggedOne) {
    EXPECT_EQ(untilSpidersMove(spiders), farAhead);
    spiders = {Spider(1, 0, 0), Spider(1, 0, 0), Spider(1, 0, 0)};
    spiders[0].moveInterval = 4000;
    spiders[1].moveInterval = 1500;
    spiders[2].moveInterval = 3000;
    const sf::Time untilStep = untilSpidersMove(spiders);
    EXPECT_GT(untilStep, sf::milliseconds(1400));
    EXPECT_LE(untilStep, sf::milliseconds(1500) + sf::microseconds(1));
    spiders[2].moveInterval = -5;
    EXPECT_EQ(untilSpidersMove(spiders), sf::Time::Zero) << "a step overdue";

    // A drop merges at once; the spiders after a dragged one stand still.
    spiders[1].dropped = true;
    EXPECT_EQ(untilSpidersMove(spiders), sf::Time::Zero);
    spiders[1].dropped = false;
    spiders[1].dragging = true;
    EXPECT_GT(untilSpidersMove(spiders), sf::seconds(3));
}

// A minute of wandering, with the loop waking just after each step (as when
// shown), or once a second or once in ten (as when minimized): the same
// steps, each counted from when it came due, and the same earnings.
TEST_F(Frames, AMinimizedSpiderMakesTheStepsAndEarningsOfAShownOne) {
    for (const int wake : {1, 10}) {
        for (unsigned seed = 1; seed <= 8; ++seed) {
            SCOPED_TRACE(testing::Message() << "waking every " << wake << " s, seed " << seed);
            Spider shown(3, 400, 400);
            shown.moveInterval = 1000; // a step a second ago
            Spider minimized = shown;
            std::mt19937 shownRng(seed), minimizedRng(seed);
            int shownMoney = 0, minimizedMoney = 0, shownSteps = 0, minimizedSteps = 0;
            for (sf::Time last, due; (due = last + sf::milliseconds(shown.moveInterval) +
                                            sf::microseconds(1)) <= sf::seconds(60);
                 last = due) {
                shownSteps += wanderSteps(shown, due - last, shownMoney, shownRng);
            }
            for (sf::Time last, now = sf::seconds(wake); now <= sf::seconds(60);
                 now += sf::seconds(wake)) {
                const int steps = wanderSteps(minimized, now - last, minimizedMoney, minimizedRng);
                minimizedSteps += steps;
                last = steps > 0 ? now : last;
            }
            EXPECT_NEAR(minimizedSteps, shownSteps, 1);
            EXPECT_EQ(minimizedMoney, 9 * minimizedSteps) << "each step pays the stage squared";
            if (minimizedSteps == shownSteps) {
                EXPECT_EQ(minimized.sprite.getPosition(), shown.sprite.getPosition());
            }
        }
    }
}

// The loop's own pace and clock, on a test clock, with a real window.
class FrameLoopClock : public ::testing::Test {
protected:
    sf::Window window{sf::VideoMode(10, 10), "frames"};
    const Desktop desktop;
    sf::Time now;
    FrameLoop loop{window, desktop, [this] { return now; }};
};

// A spider dragged by a mouse moving 1000 times a second, where the display
// waits for the screen's next refresh, as a buffer swap paced by vertical
// sync does: every refresh shows a new frame, at 60, 75 and 144 Hz alike.
TEST(FramePace, ADragGetsAFrameAtEveryRefreshOfTheScreen) {
    for (const int hertz : {60, 75, 144}) {
        SCOPED_TRACE(hertz);
        const sf::Int64 refresh = 1000000 / hertz;
        FrameSchedule schedule;
        schedule.period = framePeriodAt(static_cast<float>(hertz));
        int frames = 0;
        sf::Time now;
        for (std::uint64_t move = 1; now < sf::seconds(1); ++move, now += sf::milliseconds(1)) {
            if (frameNeedsDrawing(schedule, {move, false, true, false}, now)) {
                const sf::Time decidedAt = now;
                // display() returns a moment after the next refresh, 0.1 to 0.9 ms,
                // a little later each frame and then early again
                const sf::Int64 late = 100 * (1 + frames % 9);
                now = sf::microseconds((now.asMicroseconds() / refresh + 1) * refresh + late);
                advancePastFrame(schedule, move, decidedAt);
                ++frames;
            }
        }
        EXPECT_GE(frames, hertz - 2) << "refreshes that showed no new frame";
    }
    EXPECT_EQ(framePeriodAt(0), sf::seconds(1.f / 60)) << "60 a second where no rate is told";
}

// A minimized loop makes every step that came due while it slept as it asked;
// time beyond that (a stopped process, a machine asleep) earns one step.
TEST_F(FrameLoopClock, AMinimizedLoopCatchesUpOnlyTheTimeItRan) {
    window.setVisible(false);
    bool minimized = false; // on a clock standing still, a wake as asked
    for (int tries = 0; tries < 500 && !minimized; ++tries) {
        sf::sleep(sf::milliseconds(10)); // the window system tells of it in its time
        minimized = loop.startFrame();
    }
    ASSERT_TRUE(minimized);
    const struct {
        sf::Time slept;
        bool catchUp;
    } wakes[] = {{minimizedRest, true},
                 {minimizedRest + wakeMargin, true},
                 {sf::seconds(3600), false},
                 {minimizedRest + sf::milliseconds(300), false}};
    for (const auto& [slept, catchUp] : wakes) {
        loop.sleep({sf::Time::Zero}); // asks for a second's rest, minimized
        now += slept;
        EXPECT_EQ(loop.startFrame(), catchUp) << slept.asSeconds();
    }
}
