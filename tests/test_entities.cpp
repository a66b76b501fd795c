#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

namespace {

class Entities : public ::testing::Test {
protected:
    void SetUp() override { useGameTextures(); }
};

} // namespace

// Pictures are four times their size on the board.
TEST_F(Entities, ThingsShowTheirWholePictureAtAQuarterWhereTheyAreMade) {
    const Box box(12.7, 400.25);
    EXPECT_EQ(box.sprite.getPosition(), sf::Vector2f(12.7f, 400.25f));
    EXPECT_EQ(box.sprite.getScale(), sf::Vector2f(0.25f, 0.25f));

    Spider spider(3, 0, 0);
    spider.sprite.setScale(2, 2);
    spider.evolve();
    EXPECT_EQ(spider.sprite.getScale(), sf::Vector2f(0.25f, 0.25f));
    const sf::Vector2u size = TextureManager::getTexture("spider_stage_4").getSize();
    EXPECT_EQ(spider.sprite.getTextureRect(),
              sf::IntRect(0, 0, static_cast<int>(size.x), static_cast<int>(size.y)));
}

TEST_F(Entities, EachNewThingTakesTheNextIdOfItsKind) {
    const Spider spider(1, 0, 0);
    const Box box(0, 0);
    EXPECT_EQ(Spider(1, 0, 0).id, spider.id + 1);
    EXPECT_EQ(Box(0, 0).id, box.id + 1);
}

TEST_F(Entities, EarningsAreTheStageSquared) {
    const int expected[] = {1, 4, 9, 16, 25, 36, 49, 64, 81, 100, 121, 144};
    for (int stage = 1; stage <= 12; ++stage) {
        Spider spider(stage, 5, 5);
        EXPECT_EQ(spider.earnMoney(), expected[stage - 1]);
    }
}

TEST_F(Entities, AStageWithoutAPictureCannotBeMade) {
    EXPECT_THROW(Spider(13, 0, 0), MissingTexture);
    Spider top(12, 0, 0);
    EXPECT_THROW(top.evolve(), MissingTexture);
}
