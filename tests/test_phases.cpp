#include "game/Messages.hpp"
#include "game/Pacing.hpp"
#include "game/Phases.hpp"
#include "support.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/System/Sleep.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int mostMoney = std::numeric_limits<int>::max();

class Phases : public ::testing::Test {
protected:
    void SetUp() override { useGameTextures(); }

    // Makes every free spider due for a wander step at its next visit, or, with
    // `stillFor`, keeps it from wandering in the way.
    static void makeDue(std::vector<Spider>& spiders, int stillFor = -1) {
        for (Spider& spider : spiders) {
            spider.moveInterval = stillFor;
        }
    }

    std::vector<Spider> spiders;
    std::vector<Box> boxes;
    int money = 0;
    std::mt19937 rng{42};
};

sf::Vector2f sizeOf(const sf::Sprite& sprite) {
    const sf::FloatRect bounds = sprite.getGlobalBounds();
    return {bounds.width, bounds.height};
}

sf::Vector2f centreOf(const sf::Sprite& sprite) {
    const sf::FloatRect bounds = sprite.getGlobalBounds();
    return {bounds.left + bounds.width / 2, bounds.top + bounds.height / 2};
}

} // namespace

TEST_F(Phases, APressPicksUpTheFirstSpiderAndHitsTheFirstBoxUnderThePoint) {
    spiders = {Spider(2, 100, 100), Spider(3, 105, 105)};
    boxes = {Box(100, 100), Box(102, 102)};
    handleMousePress(spiders, boxes, money, {120, 120});

    EXPECT_TRUE(spiders[0].dragging && !spiders[1].dragging);
    EXPECT_EQ(std::vector<int>({money, boxes[0].damage, boxes[1].damage}),
              std::vector<int>({4, 1, 0}));
}

TEST_F(Phases, ThreeHitsBreakABoxIntoAStageOneSpiderThatThePressDoesNotPickUp) {
    spiders = {Spider(4, 600, 600)};
    boxes = {Box(50, 60), Box(300, 300)};
    const int keptId = boxes[1].id;
    const sf::Vector2f point = centreOf(boxes[0].sprite);

    handleMousePress(spiders, boxes, money, point);
    EXPECT_EQ(boxes[0].sprite.getTexture(), &TextureManager::getTexture("box_damage_1"));
    handleMousePress(spiders, boxes, money, point);
    EXPECT_EQ(boxes[0].sprite.getTexture(), &TextureManager::getTexture("box_damage_2"));
    handleMousePress(spiders, boxes, money, point);

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].id, keptId);
    ASSERT_EQ(spiders.size(), 2u);
    EXPECT_EQ(spiders[1].stage, 1);
    EXPECT_EQ(spiders[1].sprite.getPosition(), sf::Vector2f(50, 60));
    EXPECT_FALSE(spiders[1].dragging) << "the breaking press must not pick up the new spider";
    EXPECT_EQ(money, 0) << "boxes pay nothing";

    handleMousePress(spiders, boxes, money, point);
    EXPECT_TRUE(spiders[1].dragging);
    EXPECT_EQ(money, 1);
}

TEST_F(Phases, EveryPressPaysAgainAndOneReleaseDropsEveryHeldSpider) {
    spiders = {Spider(3, 100, 100), Spider(1, 400, 400), Spider(2, 700, 700)};
    for (int i = 0; i < 5; ++i) {
        handleMousePress(spiders, boxes, money, centreOf(spiders[0].sprite));
    }
    EXPECT_EQ(money, 45);
    handleMousePress(spiders, boxes, money, centreOf(spiders[1].sprite));
    handleMouseRelease(spiders);

    EXPECT_TRUE(!spiders[0].dragging && spiders[0].dropped);
    EXPECT_TRUE(!spiders[1].dragging && spiders[1].dropped);
    EXPECT_TRUE(!spiders[2].dragging && !spiders[2].dropped) << "a spider not held is left alone";
}

TEST_F(Phases, EventsActAtTheirOwnPointOnTheBoardAndAHeldSpiderFollowsMoves) {
    // A window half the board's size, showing the whole board.
    sf::RenderTexture window;
    ASSERT_TRUE(window.create(400, 400));
    window.setView(sf::View(sf::FloatRect(0, 0, boardSize, boardSize)));
    spiders = {Spider(1, 100, 100), Spider(1, 400, 400)};
    makeDue(spiders, 1000000);
    boxes = {Box(600, 600)};
    InputSeen seen;
    handleInput(mouseEvent(sf::Event::MouseButtonPressed, 310, 310), window, spiders, boxes, money,
                seen);
    EXPECT_EQ(boxes[0].damage, 1)
        << "the press at window pixel (310, 310) is board point (620, 620)";
    EXPECT_TRUE(seen.boardTouched && seen.redraw);
    handleInput(mouseEvent(sf::Event::MouseButtonReleased, 5, 5), window, spiders, boxes, money,
                seen);
    updateSpiders(spiders, money, rng);
    EXPECT_EQ(spiders[0].sprite.getPosition(), sf::Vector2f(100, 100)) << "a click moves nothing";

    seen = {};
    handleInput(mouseEvent(sf::Event::MouseMoved, 300, 20), window, spiders, boxes, money, seen);
    EXPECT_TRUE(!seen.boardTouched && !seen.redraw);
    EXPECT_EQ(spiders[0].sprite.getPosition(), sf::Vector2f(100, 100)) << "no spider is held";
    handleInput(mouseEvent(sf::Event::MouseButtonPressed, 55, 55), window, spiders, boxes, money,
                seen);
    ASSERT_TRUE(spiders[0].dragging);
    EXPECT_EQ(spiders[0].sprite.getPosition(), sf::Vector2f(100, 100)) << "a press moves nothing";
    handleInput(mouseEvent(sf::Event::MouseMoved, -20, 450), window, spiders, boxes, money, seen);
    EXPECT_EQ(centreOf(spiders[0].sprite), sf::Vector2f(-40, 900)) << "unclamped, on the board";
    EXPECT_EQ(boxes[0].damage, 1);

    seen = {};
    handleInput(mouseEvent(sf::Event::GainedFocus), window, spiders, boxes, money, seen);
    EXPECT_TRUE(!seen.boardTouched && seen.redraw);
    handleInput(mouseEvent(sf::Event::TextEntered), window, spiders, boxes, money, seen);
    EXPECT_TRUE(spiders[0].dragging);
    handleInput(mouseEvent(sf::Event::LostFocus), window, spiders, boxes, money, seen);
    EXPECT_TRUE(seen.boardTouched);
    EXPECT_TRUE(!spiders[0].dragging && spiders[0].dropped);

    // The spiders after it wander again once the drop is dealt with.
    updateSpiders(spiders, money, rng);
    makeDue(spiders);
    updateSpiders(spiders, money, rng);
    EXPECT_NE(spiders[1].sprite.getPosition(), sf::Vector2f(400, 400));
}

TEST_F(Phases, MoneyFromPressesStopsAtTheLargestAmountAndItsLabelSaysSo) {
    spiders = {Spider(12, 0, 0)};
    money = mostMoney - 100;
    handleMousePress(spiders, boxes, money, {1, 1});
    EXPECT_EQ(money, mostMoney);
    handleMousePress(spiders, boxes, money, {1, 1});
    EXPECT_EQ(money, mostMoney);
    EXPECT_EQ(moneyLabel(0), "Money: 0");
    EXPECT_EQ(moneyLabel(mostMoney - 1), "Money: 2147483646");
    EXPECT_EQ(moneyLabel(mostMoney), "Money: 2147483647 (full)");
}

TEST_F(Phases, AHeldSpiderStaysWhereItIsEndsThePhaseAndOnlyTheFirstFollows) {
    spiders = {Spider(1, 10, 10), Spider(2, 300, 300), Spider(1, 500, 500)};
    makeDue(spiders);
    spiders[1].dragging = true;

    updateSpiders(spiders, money, rng);

    EXPECT_EQ(spiders[1].sprite.getPosition(), sf::Vector2f(300, 300));
    EXPECT_NE(spiders[0].moveInterval, -1) << "spiders before the held one still wander";
    EXPECT_EQ(spiders[2].moveInterval, -1) << "spiders after the held one stand still";
    EXPECT_EQ(spiders[2].sprite.getPosition(), sf::Vector2f(500, 500));
    EXPECT_EQ(money, 1);

    // Of two held spiders, only the first follows the pointer.
    spiders = {Spider(1, 100, 100), Spider(1, 300, 300)};
    spiders[0].dragging = spiders[1].dragging = true;
    moveHeldSpider(spiders, {600, 600});
    EXPECT_EQ(centreOf(spiders[0].sprite), sf::Vector2f(600, 600));
    EXPECT_EQ(spiders[1].sprite.getPosition(), sf::Vector2f(300, 300));
}

TEST_F(Phases, ADroppedSpiderMergesWithTheFirstOverlappingPartnerBeforeOrAfterIt) {
    for (bool partnerFirst : {true, false}) {
        spiders = {Spider(2, 100, 100), Spider(2, 110, 110), Spider(2, 120, 120)};
        makeDue(spiders, 1000000);
        const std::size_t droppedAt = partnerFirst ? 2 : 0;
        spiders[droppedAt].dropped = true;
        const int droppedId = spiders[droppedAt].id;
        const int partnerId = spiders[partnerFirst ? 0 : 1].id;

        updateSpiders(spiders, money, rng);

        ASSERT_EQ(spiders.size(), 2u);
        for (const Spider& spider : spiders) {
            EXPECT_NE(spider.id, partnerId);
            if (spider.id == droppedId) {
                EXPECT_EQ(spider.stage, 3);
                EXPECT_FALSE(spider.dropped);
                EXPECT_EQ(spider.sprite.getTexture(),
                          &TextureManager::getTexture("spider_stage_3"));
                EXPECT_EQ(spider.sprite.getPosition(),
                          sf::Vector2f(100.f + 10 * droppedAt, 100.f + 10 * droppedAt));
            } else {
                EXPECT_EQ(spider.stage, 2) << "one drop merges at most once";
            }
        }
        EXPECT_EQ(money, 0) << "a merge pays nothing";
    }
}

TEST_F(Phases, NoMergeForTouchingEdgesOtherStagesOrStageTwelve) {
    spiders = {Spider(2, 100, 100), Spider(2, 0, 0), Spider(1, 105, 105), Spider(3, 95, 95)};
    const sf::Vector2f size = sizeOf(spiders[0].sprite);
    spiders[1].sprite.setPosition(100 + size.x, 100); // touching the right edge
    spiders[0].dropped = true;
    updateSpiders(spiders, money, rng);
    EXPECT_EQ(spiders.size(), 4u);
    EXPECT_EQ(spiders[0].stage, 2);
    EXPECT_FALSE(spiders[0].dropped);

    for (const int stage : {12, 11}) { // twelve is the last stage
        spiders = {Spider(stage, 100, 100), Spider(stage, 110, 110)};
        spiders[1].dropped = true;
        updateSpiders(spiders, money, rng);
        ASSERT_EQ(spiders.size(), stage == 12 ? 2u : 1u);
        EXPECT_EQ(spiders.back().stage, 12);
    }
}

TEST_F(Phases, AMergeDoesNotChainAndASecondDropWaitsForTheNextFrame) {
    spiders = {Spider(2, 100, 100), Spider(2, 110, 110), Spider(3, 105, 105)};
    spiders[0].dropped = true;
    updateSpiders(spiders, money, rng);
    ASSERT_EQ(spiders.size(), 2u);
    EXPECT_EQ(spiders[0].stage, 3);
    EXPECT_EQ(spiders[1].stage, 3);
    updateSpiders(spiders, money, rng);
    EXPECT_EQ(spiders.size(), 2u);

    // Of two drops, only the earliest is checked in a frame.
    spiders = {Spider(1, 100, 100), Spider(1, 110, 110), Spider(1, 500, 500), Spider(1, 510, 510)};
    spiders[0].dropped = spiders[2].dropped = true;
    updateSpiders(spiders, money, rng);
    EXPECT_EQ(spiders.size(), 3u);
    EXPECT_TRUE(spiders[1].dropped) << "the second drop waits for the next frame";
    updateSpiders(spiders, money, rng);
    EXPECT_EQ(spiders.size(), 2u);
}

TEST_F(Phases, AShownSpiderLateForItsStepMakesOneStepAndAMinimizedOneMakesUpForEveryStep) {
    // Seed 106 draws a first rest of 1034 ms, so 1.1 s past its step a
    // spider making up for lost time makes a second one.
    for (const bool catchUp : {false, true}) {
        spiders = {Spider(3, 400, 400)};
        spiders[0].moveInterval = 1;
        rng.seed(106);
        money = 0;
        sf::sleep(sf::milliseconds(1100)); // held, or behind a held one, meanwhile
        updateSpiders(spiders, money, rng, catchUp);
        EXPECT_EQ(money, catchUp ? 18 : 9) << catchUp;
    }
}

TEST_F(Phases, AWanderStepGoesAtMostFiftyRestsOneToFiveSecondsAndPaysTheStageSquared) {
    spiders = {Spider(3, 400, 400)};
    sf::sleep(sf::milliseconds(200)); // a spider that has rested a while
    for (int i = 0; i < 300; ++i) {
        spiders[0].sprite.setPosition(400, 400);
        makeDue(spiders);
        money = 0;
        const sf::Time rested = spiders[0].moveClock.getElapsedTime();
        updateSpiders(spiders, money, rng);
        ASSERT_TRUE(i > 0 || spiders[0].moveClock.getElapsedTime() < rested)
            << "rest not restarted";
        const sf::Vector2f step = spiders[0].sprite.getPosition() - sf::Vector2f(400, 400);
        ASSERT_TRUE(step != sf::Vector2f() && std::abs(step.x) <= 50 && std::abs(step.y) <= 50);
        const int interval = spiders[0].moveInterval;
        ASSERT_TRUE(interval >= 1000 && interval <= 5000) << interval;
        updateSpiders(spiders, money, rng);
        ASSERT_EQ(money, 9) << "one step pays the stage squared, the next waits for its interval";
    }
}

TEST_F(Phases, FreeSpidersAreKeptWhollyOnTheBoard) {
    spiders = {Spider(5, 810, 900), Spider(5, -30, -0.5), Spider(5, 300, 300)};
    makeDue(spiders, 1000000);
    spiders[2].dragging = true;
    spiders[2].sprite.setPosition(900, -90);
    updateSpiders(spiders, money, rng);
    const sf::Vector2f size = sizeOf(spiders[0].sprite);
    EXPECT_EQ(spiders[0].sprite.getPosition(), sf::Vector2f(800 - size.x, 800 - size.y));
    EXPECT_EQ(spiders[1].sprite.getPosition(), sf::Vector2f(0, 0));
    EXPECT_GT(spiders[2].sprite.getPosition().x, 800 - size.x) << "a held spider goes anywhere";

    // Once dropped (and checked), it is brought back on its next free visit.
    handleMouseRelease(spiders);
    updateSpiders(spiders, money, rng);
    updateSpiders(spiders, money, rng);
    const sf::Vector2f back = spiders[2].sprite.getPosition();
    EXPECT_TRUE(back.x >= 0 && back.x <= 800 - size.x && back.y >= 0 && back.y <= 800 - size.y);

    // Wandering from the edges, many times over, never leaves the board.
    for (int i = 0; i < 2000; ++i) {
        makeDue(spiders);
        updateSpiders(spiders, money, rng);
        for (const Spider& spider : spiders) {
            const sf::FloatRect bounds = spider.sprite.getGlobalBounds();
            ASSERT_TRUE(bounds.left >= 0 && bounds.top >= 0 && bounds.left + bounds.width <= 800 &&
                        bounds.top + bounds.height <= 800);
        }
    }
}

class Spawning : public Phases {
protected:
    void fill(std::size_t spiderCount, std::size_t boxCount) {
        spiders.assign(spiderCount, Spider(1, 10, 10));
        boxes.assign(boxCount, Box(20, 20));
    }
    bool spawn() { return spawnBoxes(spiders, boxes, rng, randomDevice, spawnClock, spawnDelay); }

    std::random_device randomDevice;
    sf::Clock spawnClock;
    int spawnDelay = -1; // already run out
};

TEST_F(Spawning, TheLimitsAllowFiftyOneThingsAndElevenBoxes) {
    fill(40, 10);
    EXPECT_TRUE(spawn()) << "a new box is saved at once";
    EXPECT_EQ(boxes.size(), 11u);

    fill(30, 11);
    spawnDelay = -1;
    EXPECT_FALSE(spawn());
    EXPECT_EQ(boxes.size(), 11u) << "eleven boxes are the most";

    fill(46, 5);
    spawn();
    EXPECT_EQ(boxes.size(), 5u) << "51 things are the most";
    fill(45, 5);
    spawn();
    EXPECT_EQ(boxes.size(), 6u);
}

TEST_F(Spawning, AHeldBackSpawnHappensAsSoonAsALimitClears) {
    fill(0, 11);
    spawnDelay = 0;
    sf::sleep(sf::milliseconds(100));
    spawn();
    EXPECT_EQ(boxes.size(), 11u);
    boxes.pop_back();
    const sf::Time waited = spawnClock.getElapsedTime();
    spawn();
    EXPECT_EQ(boxes.size(), 11u) << "no fresh delay is waited for";
    EXPECT_GE(spawnDelay, 5000);
    EXPECT_LE(spawnDelay, 10000);
    EXPECT_LT(spawnClock.getElapsedTime(), waited) << "the next delay counts from the new box";

    boxes.pop_back();
    spawn();
    EXPECT_EQ(boxes.size(), 10u) << "the new delay has not run out";
}

TEST_F(Spawning, NewBoxesLieWhollyOnTheBoard) {
    const sf::Vector2u texture = TextureManager::getTexture("box_damage_0").getSize();
    const float width = texture.x / 4.f;
    const float height = texture.y / 4.f;
    for (int i = 0; i < 5000; ++i) {
        const sf::Vector2f place = randomBoxPosition(rng);
        ASSERT_TRUE(place.x >= 0 && place.x < 800 - width && place.y >= 0 &&
                    place.y < 800 - height);
    }
}

TEST_F(Phases, BoxesAreDrawnOverSpidersButTheHeldOneAndANoticeBandFillsItsMargins) {
    sf::RenderTexture target;
    ASSERT_TRUE(target.create(800, 800));
    const sf::Font font = gameFont();
    sf::Text label("", font, 24);
    sf::Texture& background = TextureManager::getTexture("background");

    const auto pixelAt = [&](const std::vector<Spider>& drawnSpiders,
                             const std::vector<Box>& drawnBoxes, sf::Vector2f point) {
        drawScene(target, background, drawnSpiders, drawnBoxes, label, 1000);
        target.display();
        return target.getTexture().copyToImage().getPixel(static_cast<unsigned>(point.x),
                                                          static_cast<unsigned>(point.y));
    };
    const std::vector<Spider> spider{Spider(12, 300, 300)};
    const std::vector<Box> box{Box(300, 300)};
    const sf::Vector2f point = centreOf(box[0].sprite);

    EXPECT_EQ(pixelAt(spider, box, point), pixelAt({}, box, point));
    EXPECT_NE(pixelAt(spider, {}, point), pixelAt({}, box, point));
    const sf::Vector2f body = centreOf(spider[0].sprite);
    EXPECT_NE(pixelAt(spider, {}, body), pixelAt({}, {}, body)) << "no spider drawn";
    EXPECT_EQ(label.getString().toAnsiString(), "Money: 1000");

    // A held spider is drawn over the boxes and the other spiders, dropped it is
    // back in its place, and the picture's signature follows the order.
    std::vector<Spider> held{Spider(1, 0, 0), Spider(12, 300, 300)};
    held[0].sprite.setPosition(point - sizeOf(held[0].sprite) / 2.f);
    const std::uint64_t beforePress = sceneSignature(held, box, 0, "");
    held[0].dragging = true;
    EXPECT_NE(pixelAt({held[0]}, {}, point), pixelAt({}, box, point));
    EXPECT_EQ(pixelAt(held, box, point), pixelAt({held[0]}, {}, point)) << "held, yet hidden";
    EXPECT_NE(sceneSignature(held, box, 0, ""), beforePress);
    handleMouseRelease(held);
    EXPECT_EQ(pixelAt(held, box, point), pixelAt({}, box, point));

    // A notice darkens a band across the middle; an empty one draws nothing.
    Messages messages(font, TANGLEROOT_ASSETS "/fonts/roboto.ttf");
    const auto middleWith = [&](const std::string& notice) {
        target.clear(sf::Color::White);
        messages.show(notice, "", "", 1.f);
        messages.draw(target);
        target.display();
        return target.getTexture().copyToImage().getPixel(5, 400);
    };
    EXPECT_EQ(middleWith(""), sf::Color::White);
    EXPECT_NE(middleWith("The board was not saved"), sf::Color::White);
    middleWith(std::string(300, 'x')); // a long line is broken 30 from the right edge
    const sf::Image band = target.getTexture().copyToImage();
    int ink = 0;
    int pastMargin = 0;
    for (unsigned x = 745; x < 800; ++x) {
        for (unsigned y = 370; y < 430; ++y) {
            (x < 770 ? ink : pastMargin) += band.getPixel(x, y).g > 150;
        }
    }
    EXPECT_GT(ink, 0) << "the line was broken before the margin";
    EXPECT_EQ(pastMargin, 0) << "the line runs into the margin";
}

TEST_F(Phases, AtAnySizeTheBackgroundIsSmoothedAndTheOutlinedLabelIsMadeAtItsSizeOnScreen) {
    const sf::Font font = gameFont();
    sf::Texture& background = TextureManager::getTexture("background");
    for (const unsigned side : {1600u, 691u, 800u}) {
        sf::RenderTexture game;
        sf::RenderTexture sharp; // the label as letters made for this window
        ASSERT_TRUE(game.create(side, side) && sharp.create(side, side));
        game.setView(sf::View(sf::FloatRect(0, 0, boardSize, boardSize)));
        sf::Text label("", font, 24);
        label.setFillColor(sf::Color::Black);
        drawScene(game, background, {}, {}, label, 1000);
        game.display();
        const float scale = side / boardSize;
        sharp.clear(sf::Color::White);
        sf::Sprite picture(background);
        picture.setScale(scale, scale);
        sharp.draw(picture);
        sf::Text letters(moneyLabel(1000), font, static_cast<unsigned>(std::lround(24 * scale)));
        letters.setFillColor(sf::Color::Black);
        letters.setOutlineColor(sf::Color::White);
        letters.setOutlineThickness(2 * scale);
        sharp.draw(letters);
        sharp.display();
        const sf::Image drawn = game.getTexture().copyToImage();
        const sf::Image expected = sharp.getTexture().copyToImage();
        int differ = 0;
        for (unsigned y = 0; y < 40 * scale; ++y) {
            for (unsigned x = 0; x < 200 * scale; ++x) {
                differ += std::abs(drawn.getPixel(x, y).r - expected.getPixel(x, y).r) > 24;
            }
        }
        EXPECT_LT(differ, 10) << "the label is not made at its size on a " << side << " px window";
        EXPECT_EQ(background.isSmooth(), side != 800) << side;
    }
}

TEST_F(Phases, ABoxIsAwaitedOnlyWhileThereIsRoomForIt) {
    sf::Clock spawnClock;
    const sf::Time wait = untilSpawn(spiders, boxes, spawnClock, 6000);
    EXPECT_GT(wait, sf::milliseconds(5900));
    EXPECT_LE(wait, sf::milliseconds(6000) + sf::microseconds(1));
    EXPECT_EQ(untilSpawn(spiders, boxes, spawnClock, -1), sf::Time::Zero);
    boxes.assign(11, Box(0, 0));
    EXPECT_GT(untilSpawn(spiders, boxes, spawnClock, -1), sf::seconds(60));
}
