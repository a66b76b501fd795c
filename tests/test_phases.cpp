#include "game/Phases.hpp"
#include "support.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/System/Sleep.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

namespace {

class Phases : public ::testing::Test {
protected:
    void SetUp() override { useGameTextures(); }

    // Makes every spider due for a wander step at its next visit, or, with
    // `stillFor`, keeps it from wandering in the way.
    void makeDue(int stillFor = -1) {
        for (Spider& spider : spiders) {
            spider.moveInterval = stillFor;
        }
    }
    // Each spider's stage, with H when held and D when dropped.
    std::string held() const {
        std::string text;
        for (const Spider& spider : spiders) {
            text += std::to_string(spider.stage) + (spider.dragging ? "H" : "") +
                    (spider.dropped ? "D " : " ");
        }
        return text;
    }
    bool spawn() { return spawnBoxes(spiders, boxes, rng, randomDevice, spawnClock, spawnDelay); }

    std::vector<Spider> spiders;
    std::vector<Box> boxes;
    int money = 0;
    std::mt19937 rng{42};
    std::random_device randomDevice;
    sf::Clock spawnClock;
    int spawnDelay = -1; // already run out
};

sf::Vector2f sizeOf(const sf::Sprite& sprite) {
    const sf::FloatRect bounds = sprite.getGlobalBounds();
    return {bounds.width, bounds.height};
}

sf::Vector2f centreOf(const sf::Sprite& sprite) {
    return sf::Vector2f(sprite.getGlobalBounds().left, sprite.getGlobalBounds().top) +
           sizeOf(sprite) / 2.f;
}

} // namespace

TEST_F(Phases, APressPicksUpAndIsPaidByTheFirstSpiderAndHitsTheFirstBoxAndAReleaseDropsAll) {
    spiders = {Spider(3, 100, 100), Spider(2, 105, 105), Spider(1, 400, 400), Spider(1, 700, 700)};
    boxes = {Box(100, 100), Box(102, 102)};
    handleMousePress(spiders, boxes, money, {120, 120});
    handleMousePress(spiders, boxes, money, {120, 120});
    handleMousePress(spiders, boxes, money, centreOf(spiders[2].sprite));
    EXPECT_EQ(money, 9 + 9 + 1) << "a held spider pays again";
    EXPECT_EQ(std::vector<int>({boxes[0].damage, boxes[1].damage}), std::vector<int>({2, 0}));
    EXPECT_EQ(held(), "3H 2 1H 1 ");
    handleMouseRelease(spiders);
    EXPECT_EQ(held(), "3D 2 1D 1 ") << "one release drops every held spider";
}

TEST_F(Phases, ThreeHitsBreakABoxIntoAStageOneSpiderThatThePressDoesNotPickUp) {
    spiders = {Spider(4, 600, 600)};
    boxes = {Box(300, 300), Box(50, 60)};
    const sf::Vector2f point = centreOf(boxes[1].sprite);
    for (const char* picture : {"box_damage_1", "box_damage_2"}) {
        handleMousePress(spiders, boxes, money, point);
        EXPECT_EQ(boxes[1].sprite.getTexture(), &TextureManager::getTexture(picture));
    }
    handleMousePress(spiders, boxes, money, point);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].sprite.getPosition(), sf::Vector2f(300, 300)) << "the wrong box broke";
    ASSERT_EQ(held(), "4 1 ") << "the breaking press must not pick up the new spider";
    EXPECT_EQ(spiders[1].sprite.getPosition(), sf::Vector2f(50, 60));
    handleMousePress(spiders, boxes, money, point);
    EXPECT_EQ(held(), "4 1H ");
    EXPECT_EQ(money, 1) << "boxes pay nothing";
}

TEST_F(Phases, EventsActWhereTheBoardIsDrawnAndAHeldSpiderFollowsMoves) {
    // Given 500 x 400, the window shows the board at half its size, 50 from the left.
    sf::RenderTexture window;
    ASSERT_TRUE(window.create(500, 400));
    spiders = {Spider(1, 100, 100), Spider(1, 400, 400)};
    boxes = {Box(600, 600)};
    const sf::Vector2f home = centreOf(spiders[0].sprite), moved(-40, 900); // unclamped
    const struct {
        sf::Event::EventType type;
        int x, y;
        const char* held;
        bool boardTouched, redraw;
        sf::Vector2f centre;
    } steps[] = {
        {sf::Event::Resized, 500, 400, "1 1 ", false, true, home},
        {sf::Event::MouseButtonPressed, 360, 310, "1 1 ", true, true, home}, // the box at 620
        {sf::Event::MouseButtonReleased, 5, 5, "1 1 ", true, true, home},
        {sf::Event::MouseMoved, 350, 20, "1 1 ", false, false, home},
        {sf::Event::MouseButtonPressed, 105, 55, "1H 1 ", true, true, home},
        {sf::Event::MouseMoved, 30, 450, "1H 1 ", false, false, moved},
        {sf::Event::GainedFocus, 0, 0, "1H 1 ", false, true, moved},
        {sf::Event::TextEntered, 0, 0, "1H 1 ", false, false, moved},
        {sf::Event::LostFocus, 0, 0, "1D 1 ", true, true, moved},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.type);
        InputSeen seen;
        handleInput(mouseEvent(step.type, step.x, step.y), window, spiders, boxes, money, seen);
        EXPECT_EQ(held(), step.held);
        EXPECT_EQ(std::pair(seen.boardTouched, seen.redraw),
                  std::pair(step.boardTouched, step.redraw));
        EXPECT_EQ(centreOf(spiders[0].sprite), step.centre);
    }
    EXPECT_EQ(boxes[0].damage, 1) << "the press missed the box where it is drawn";
}

TEST(Letterbox, TheBoardIsTheLargestSquareCentredOnWholePixels) {
    for (const auto& [window, board] :
         {std::pair(sf::Vector2u(800, 800), sf::IntRect(0, 0, 800, 800)),
          {{1000, 700}, {150, 0, 700, 700}},
          {{700, 1001}, {0, 150, 700, 700}},
          {{1601, 1600}, {0, 0, 1600, 1600}},
          {{1366, 705}, {330, 0, 705, 705}}}) {
        const sf::FloatRect part = boardViewport(window);
        EXPECT_EQ(sf::IntRect(std::lround(part.left * window.x), std::lround(part.top * window.y),
                              std::lround(part.width * window.x),
                              std::lround(part.height * window.y)),
                  board);
    }
}

TEST_F(Phases, MoneyStopsAtTheLargestAmountAndItsLabelSaysSo) {
    constexpr int mostMoney = std::numeric_limits<int>::max();
    spiders = {Spider(lastStage, 0, 0)};
    money = mostMoney - 100;
    handleMousePress(spiders, boxes, money, {1, 1});
    EXPECT_EQ(money, mostMoney);
    EXPECT_EQ(moneyLabel(mostMoney - 1), "Money: 2147483646");
    EXPECT_EQ(moneyLabel(mostMoney), "Money: 2147483647 (full)");
}

TEST_F(Phases, FreeSpidersWanderOnTheBoardUpToTheFirstHeldOneWhichAloneFollows) {
    spiders = {Spider(5, 810, 900), Spider(5, -30, -0.5), Spider(1, 10, 10), Spider(2, 900, -90),
               Spider(1, 500, 500)};
    makeDue(1000000);
    spiders[2].moveInterval = spiders[4].moveInterval = -1;
    spiders[3].dragging = true;
    updateSpiders(spiders, money, rng);
    EXPECT_EQ(money, 1) << "only the spider before the held one wanders";
    const sf::Vector2f size = sizeOf(spiders[0].sprite);
    EXPECT_EQ(spiders[0].sprite.getPosition(), sf::Vector2f(800 - size.x, 800 - size.y));
    EXPECT_EQ(spiders[1].sprite.getPosition(), sf::Vector2f(0, 0));
    EXPECT_EQ(spiders[3].sprite.getPosition(), sf::Vector2f(900, -90)) << "held, it goes anywhere";

    spiders[4].dragging = true;
    moveDraggedSpider(spiders, {600, 600});
    EXPECT_EQ(centreOf(spiders[3].sprite), sf::Vector2f(600, 600));
    EXPECT_EQ(spiders[4].sprite.getPosition(), sf::Vector2f(500, 500));
}

TEST_F(Phases, ADroppedSpiderMergesOnceWithTheFirstSpiderOfItsStageItOverlaps) {
    const auto at = [](int stage, float place) { return Spider(stage, place, place); };
    const float side = sizeOf(at(2, 0).sprite).x;
    const int top = lastStage;
    const std::string t = std::to_string(top);
    const struct {
        const char* name;
        std::vector<Spider> before;
        std::vector<std::size_t> drops;
        std::string once;  // the spiders left, a for the first one made, their stage, D if dropped
        std::string twice; // after one more frame, when not as `once`
    } cases[] = {
        {"a partner before it", {at(2, 100), at(2, 110), at(2, 120)}, {2}, "b2 c3 ", ""},
        {"a partner after it", {at(2, 100), at(2, 110), at(2, 120)}, {0}, "a3 c2 ", ""},
        {"other stages", {at(2, 100), at(1, 105), at(3, 95)}, {0}, "a2 b1 c3 ", ""},
        {"the last stage", {at(top, 100), at(top, 110)}, {1}, "a" + t + " b" + t + " ", ""},
        {"the one before", {at(top - 1, 100), at(top - 1, 110)}, {1}, "b" + t + " ", ""},
        {"no chain", {at(2, 100), at(2, 110), at(3, 105)}, {0}, "a3 c3 ", ""},
        {"two drops", {at(1, 0), at(1, 10), at(1, 99), at(1, 109)}, {0, 2}, "a2 c1D d1 ", "a2 c2 "},
        {"edges touching", {at(2, 100), Spider(2, 100 + side, 100)}, {1}, "a2 b2 ", ""},
    };
    for (const auto& [name, before, drops, once, twice] : cases) {
        spiders = before;
        makeDue(1000000);
        for (const std::size_t drop : drops) {
            spiders[drop].dropped = true;
        }
        const auto left = [&, first = before[0].id] {
            std::string text;
            for (const Spider& spider : spiders) {
                text += static_cast<char>('a' + spider.id - first) + std::to_string(spider.stage) +
                        (spider.dropped ? "D " : " ");
            }
            return text;
        };
        updateSpiders(spiders, money, rng);
        EXPECT_EQ(left(), once) << name;
        updateSpiders(spiders, money, rng);
        EXPECT_EQ(left(), twice.empty() ? once : twice) << name;
        // A merged spider stays where it was dropped, drawn as its new stage.
        for (const Spider& spider : spiders) {
            const Spider& was = *std::find(before.begin(), before.end(), spider);
            EXPECT_EQ(spider.sprite.getPosition(), was.sprite.getPosition()) << name;
            EXPECT_EQ(spider.sprite.getTexture(), at(spider.stage, 0).sprite.getTexture()) << name;
        }
    }
    EXPECT_EQ(money, 0) << "a merge pays nothing";
}

TEST_F(Phases, ALateSpiderMakesOneStepShownAndEveryStepMinimizedButNoneForStandingStill) {
    // Seed 106 draws a first rest of 1034 ms, so 1.1 s past its step a free
    // spider making up for lost time makes a second one.
    // Catching up, the held spider (-1 none; 0 never steps, 1 does), the steps made.
    const std::tuple<bool, int, int> cases[] = {
        {false, -1, 1}, {true, -1, 2}, {false, 0, 1}, {true, 0, 1}, {true, 1, 1}};
    std::vector<std::vector<Spider>> boards;
    for (const auto& [catchUp, held, steps] : cases) {
        boards.push_back({Spider(1, 100, 100), Spider(3, 400, 400)});
        boards.back()[0].moveInterval = 1000000, boards.back()[1].moveInterval = 1;
        boards.back()[0].dragging = held == 0, boards.back()[1].dragging = held == 1;
    }
    sf::sleep(sf::milliseconds(1100));
    for (std::size_t i = 0; i < boards.size(); ++i) {
        const auto& [catchUp, held, steps] = cases[i];
        spiders = boards[i], money = 0;
        rng.seed(106);
        handleMouseRelease(spiders);
        updateSpiders(spiders, money, rng, catchUp); // the drop's frame
        updateSpiders(spiders, money, rng, catchUp);
        EXPECT_EQ(money, 9 * steps) << "catching up " << catchUp << ", held " << held;
    }
}

TEST_F(Phases, AWanderStepGoesUpToFiftyRestsOneToFiveSecondsAndPaysTheStageSquared) {
    spiders = {Spider(3, 400, 400)};
    sf::sleep(sf::milliseconds(200)); // a spider that has rested a while
    for (int i = 0; i < 300; ++i) {
        spiders[0].sprite.setPosition(400, 400);
        makeDue();
        money = 0;
        updateSpiders(spiders, money, rng);
        ASSERT_TRUE(i > 0 || spiders[0].moveClock.getElapsedTime() < sf::milliseconds(200))
            << "rest not restarted";
        const sf::Vector2f step = spiders[0].sprite.getPosition() - sf::Vector2f(400, 400);
        ASSERT_TRUE(step != sf::Vector2f() && std::abs(step.x) <= 50 && std::abs(step.y) <= 50);
        const int interval = spiders[0].moveInterval;
        ASSERT_TRUE(interval >= 1000 && interval <= 5000) << interval;
        updateSpiders(spiders, money, rng);
        ASSERT_EQ(money, 9) << "one step pays the stage squared, the next waits for its interval";
    }
}

TEST_F(Phases, ABoxComesOnlyWhileTheBoardHoldsAtMostFiftyThingsAndTenBoxes) {
    for (const auto& [spiderCount, boxCount, room] :
         {std::tuple(40u, 10u, true), std::tuple(30u, 11u, false), std::tuple(46u, 5u, false),
          std::tuple(45u, 5u, true)}) {
        spiders.assign(spiderCount, Spider(1, 10, 10));
        boxes.assign(boxCount, Box(20, 20));
        spawnDelay = -1;
        EXPECT_EQ(untilSpawn(spiders, boxes, spawnClock, spawnDelay),
                  room ? sf::Time::Zero : farAhead);
        EXPECT_EQ(spawn(), room) << "a new box is saved at once";
        EXPECT_EQ(boxes.size(), boxCount + room);
    }
}

TEST_F(Phases, AHeldBackBoxComesOnceALimitClearsAndTheNextDelayCountsFromIt) {
    boxes.assign(11, Box(0, 0));
    spawnDelay = 0;
    sf::sleep(sf::milliseconds(100));
    EXPECT_FALSE(spawn());
    boxes.pop_back();
    EXPECT_TRUE(spawn()) << "no fresh delay is waited for";
    EXPECT_TRUE(spawnDelay >= 5000 && spawnDelay <= 10000) << spawnDelay;
    boxes.pop_back();
    const sf::Time wait = untilSpawn(spiders, boxes, spawnClock, spawnDelay);
    EXPECT_GT(wait, sf::milliseconds(spawnDelay - 50)) << "the delay counts from the new box";
    EXPECT_LE(wait, sf::milliseconds(spawnDelay) + sf::microseconds(1));
    EXPECT_FALSE(spawn()) << "the new delay has not run out";
}

TEST_F(Phases, NewBoxesLieWhollyOnTheBoard) {
    const sf::Vector2f size = sizeOf(Box(0, 0).sprite);
    for (int i = 0; i < 5000; ++i) {
        const sf::Vector2f place = randomBoxPosition(rng);
        ASSERT_TRUE(place.x >= 0 && place.x < 800 - size.x && place.y >= 0 &&
                    place.y < 800 - size.y);
    }
}

TEST_F(Phases, SpidersThenBoxesThenTheHeldSpiderAreDrawn) {
    spiders = {Spider(1, 0, 0), Spider(2, 300, 300), Spider(3, 600, 600)};
    boxes = {Box(100, 100), Box(500, 500)};
    using Order = std::vector<const sf::Sprite*>;
    const auto order = [&] {
        Order drawn;
        forEachSpriteInDrawingOrder(spiders, boxes,
                                    [&](const sf::Sprite& sprite) { drawn.push_back(&sprite); });
        return drawn;
    };
    EXPECT_EQ(order(), (Order{&spiders[0].sprite, &spiders[1].sprite, &spiders[2].sprite,
                              &boxes[0].sprite, &boxes[1].sprite}));
    spiders[1].dragging = spiders[2].dragging = true;
    EXPECT_EQ(order(), (Order{&spiders[0].sprite, &spiders[2].sprite, &boxes[0].sprite,
                              &boxes[1].sprite, &spiders[1].sprite}));

    sf::RenderTexture target;
    ASSERT_TRUE(target.create(800, 800));
    const sf::Font font = gameFont();
    sf::Text label("", font, 24);
    const auto pixelAt = [&](const std::vector<Spider>& drawnSpiders,
                             const std::vector<Box>& drawnBoxes, sf::Vector2f point) {
        Picture picture;
        composeScene(picture, TextureManager::getTexture("background"), drawnSpiders, drawnBoxes,
                     label, 0, 1.f);
        picture.draw(target);
        target.display();
        return target.getTexture().copyToImage().getPixel(static_cast<unsigned>(point.x),
                                                          static_cast<unsigned>(point.y));
    };
    const std::vector<Spider> spider{Spider(lastStage, 300, 300)};
    const std::vector<Box> box{Box(300, 300)};
    const sf::Vector2f point = centreOf(box[0].sprite);
    EXPECT_NE(pixelAt(spider, {}, point), pixelAt({}, {}, point)) << "no spider drawn";
    EXPECT_NE(pixelAt(spider, {}, point), pixelAt({}, box, point));
    EXPECT_EQ(pixelAt(spider, box, point), pixelAt({}, box, point));
}

TEST_F(Phases, AtAnySizeTheBackgroundIsSmoothAndTheLabelIsMadeAtItsSizeOnScreen) {
    const sf::Font font = gameFont();
    sf::Texture& background = TextureManager::getTexture("background");
    for (const unsigned side : {1600u, 691u, 800u}) {
        const float scale = side / boardSide;
        sf::RenderTexture game, sharp; // sharp: the label as letters made for this window
        ASSERT_TRUE(game.create(side, side) && sharp.create(side, side));
        game.setView(sf::View(sf::FloatRect(0, 0, boardSide, boardSide)));
        sf::Text label("", font, 24);
        label.setFillColor(sf::Color::Black);
        Picture scene;
        composeScene(scene, background, {}, {}, label, 1000, scale);
        scene.draw(game);
        sf::Sprite picture(background);
        picture.setScale(scale, scale);
        sharp.draw(picture);
        sf::Text letters("Money: 1000", font, static_cast<unsigned>(std::lround(24 * scale)));
        letters.setFillColor(sf::Color::Black), letters.setOutlineColor(sf::Color::White);
        letters.setOutlineThickness(2 * scale);
        sharp.draw(letters);
        game.display(), sharp.display();
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

TEST(Picture, EachChangeThatMovesAPixelChangesTheSignature) {
    useGameTextures();
    const sf::Font font = gameFont();
    const sf::Sprite firstSprite(TextureManager::getTexture("spider_stage_1"));
    const sf::Text firstText("Money: 5", font, 24);
    sf::Sprite sprite;
    sf::Text text;
    sf::RectangleShape band;
    const auto signatureAfter = [&](const std::function<void()>& change) {
        sprite = firstSprite, text = firstText, band = sf::RectangleShape({boardSide, 100});
        change();
        Picture picture;
        picture.add(sprite), picture.add(text), picture.add(band);
        return picture.signature();
    };
    const std::uint64_t before = signatureAfter([] {});
    EXPECT_EQ(signatureAfter([] {}), before);
    const std::function<void()> changes[] = {
        [&] { sprite.setRotation(1); },         [&] { sprite.setOrigin(2, 0); },
        [&] { text.setRotation(1); },           [&] { text.setOrigin(0, 3); },
        [&] { text.setStyle(sf::Text::Bold); }, [&] { text.setLetterSpacing(1.5f); },
        [&] { band.setOutlineThickness(2); }}; // turned, moved origins, bold, spaced, outlined
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        EXPECT_NE(signatureAfter(changes[i]), before) << "change " << i;
    }
}
