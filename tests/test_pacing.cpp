// The frame loop's pacing: which frames are drawn, and how long it rests.
#include "game/Pacing.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

class Pacing : public ::testing::Test {
protected:
    void SetUp() override { useGameTextures(); }

    std::vector<Spider> spiders;
    std::vector<Box> boxes;
    int money = 0;
};

} // namespace

TEST_F(Pacing, OnlyAChangedPictureAnInputOrTheSafetyRedrawIsDrawn) {
    spiders = {Spider(3, 100, 100)};
    boxes = {Box(300, 300)};
    DrawState state;
    sf::Time now = sf::seconds(5);
    const auto scene = [&] { return sceneSignature(spiders, boxes, money, ""); };
    EXPECT_TRUE(frameNeedsDrawing(state, scene(), false, now)) << "the first frame";
    EXPECT_FALSE(frameNeedsDrawing(state, scene(), false, now));
    EXPECT_TRUE(frameNeedsDrawing(state, scene(), true, now)) << "an input event";

    const std::vector<std::function<void()>> changes{
        [&] { spiders[0].sprite.move(0.5f, 0); },
        [&] { spiders[0].evolve(); },
        [&] { boxes[0].hit(); },
        [&] { ++money; },
        [&] { spiders.emplace_back(1, 0, 0); },
        [&] { std::swap(spiders[0], spiders[1]); },
        [&] { boxes.pop_back(); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        changes[i]();
        EXPECT_TRUE(frameNeedsDrawing(state, scene(), false, now)) << "change " << i;
        EXPECT_FALSE(frameNeedsDrawing(state, scene(), false, now)) << "change " << i;
    }
    EXPECT_NE(sceneSignature(spiders, boxes, money, "not saved"), scene());

    DrawState toldOfUncovering;
    toldOfUncovering.safetyRedraws = false;
    EXPECT_TRUE(frameNeedsDrawing(toldOfUncovering, scene(), false, now));
    EXPECT_GT(untilSafetyRedraw(state, now), sf::milliseconds(900));
    now += sf::seconds(1); // the picture is drawn at least once a second
    EXPECT_EQ(untilSafetyRedraw(state, now), sf::Time::Zero);
    EXPECT_TRUE(frameNeedsDrawing(state, scene(), false, now)) << "the safety redraw";
    EXPECT_GT(untilSafetyRedraw(state, now), sf::milliseconds(900))
        << "drawn: its wait starts again";
    EXPECT_FALSE(frameNeedsDrawing(toldOfUncovering, scene(), false, now))
        << "none where not needed";
    EXPECT_GT(untilSafetyRedraw(toldOfUncovering, now), sf::seconds(60));

    std::set<std::uint64_t> amounts;
    for (money = 0; money < 4096; ++money) {
        amounts.insert(scene());
    }
    EXPECT_EQ(amounts.size(), 4096u) << "two amounts of money look the same to the signature";
}

TEST(FramePacer, FramesComeAPeriodApartAndALateLoopStartsAfresh) {
    const sf::Time period = sf::seconds(1.f / framesPerSecond);
    FramePacer pacer;
    pacer.due = pacer.clock.getElapsedTime();
    const sf::Time first = untilNextFrame(pacer);
    EXPECT_GT(first, period - sf::milliseconds(2));
    EXPECT_LE(first, period);
    EXPECT_GT(untilNextFrame(pacer), period + first - sf::milliseconds(2)) << "one period later";

    // A frame late by less than a period keeps the schedule: the next one at once.
    const sf::Time now = pacer.clock.getElapsedTime();
    pacer.due = now - period - sf::milliseconds(1);
    EXPECT_EQ(untilNextFrame(pacer), sf::Time::Zero);
    EXPECT_LT(pacer.due, now) << "the schedule started afresh (or the test was paused for 16 ms)";
    // A loop that rested long does not rush through the frames it missed.
    pacer.due = now - sf::seconds(5);
    EXPECT_EQ(untilNextFrame(pacer), sf::Time::Zero);
    EXPECT_GT(untilNextFrame(pacer), period - sf::milliseconds(2));
}

TEST_F(Pacing, TheLoopRestsUntilTheFirstThingDueOrAtOnceForADrop) {
    const sf::Time frame = sf::milliseconds(16);
    const sf::Time far = sf::seconds(30);
    const auto rest = [&](sf::Time spawn, sf::Time autosave, sf::Time redraw) {
        return restAfterFrame(spiders, frame, spawn, autosave, redraw);
    };
    EXPECT_EQ(rest(sf::seconds(7), sf::seconds(9), far).timeout, sf::seconds(7));
    EXPECT_EQ(rest(far, sf::seconds(2), far).timeout, sf::seconds(2));
    EXPECT_EQ(rest(far, far, sf::seconds(1)).timeout, sf::seconds(1));
    EXPECT_TRUE(rest(far, far, far).untilInput);

    // The soonest wander step, just after its interval is over.
    spiders = {Spider(1, 0, 0), Spider(1, 0, 0), Spider(1, 0, 0)};
    spiders[0].moveInterval = 4000;
    spiders[1].moveInterval = 1500;
    spiders[2].moveInterval = 3000;
    const Rest untilStep = rest(sf::seconds(7), far, far);
    EXPECT_GT(untilStep.timeout, sf::milliseconds(1400));
    EXPECT_LE(untilStep.timeout, sf::milliseconds(1500) + sf::microseconds(1));
    EXPECT_TRUE(untilStep.untilInput);
    EXPECT_EQ(rest(sf::milliseconds(900), far, far).timeout, sf::milliseconds(900));
    spiders[2].moveInterval = -5;
    EXPECT_EQ(rest(far, far, far).timeout, sf::Time::Zero) << "a step overdue";

    // A drop merges at once; a held spider brings frames at 60 a second,
    // with input read at each, whatever comes after it.
    spiders[2].moveInterval = 3000;
    spiders[1].dropped = true;
    EXPECT_EQ(rest(far, far, far).timeout, sf::Time::Zero);
    spiders[1].dropped = false;
    spiders[1].dragging = true;
    EXPECT_EQ(rest(far, far, far).timeout, frame);
    EXPECT_FALSE(rest(far, far, far).untilInput);
    spiders[0].moveInterval = 0;
    EXPECT_EQ(rest(far, far, far).timeout, frame);
}
