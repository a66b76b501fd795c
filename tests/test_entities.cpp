#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

// Pictures are four times their size on the board.
TEST(Entities, ThingsShowTheirWholePictureAtAQuarterWhereTheyAreMadeAndTakeTheNextId) {
    useGameTextures();
    const Box box(12.7, 400.25);
    EXPECT_EQ(box.sprite.getPosition(), sf::Vector2f(12.7f, 400.25f));
    EXPECT_EQ(box.sprite.getScale(), sf::Vector2f(0.25f, 0.25f));
    EXPECT_EQ(Box(0, 0).id, box.id + 1);

    Spider spider(3, 7, 9);
    spider.sprite.setScale(2, 2);
    spider.evolve();
    EXPECT_EQ(spider.sprite.getPosition(), sf::Vector2f(7, 9));
    EXPECT_EQ(spider.sprite.getScale(), sf::Vector2f(0.25f, 0.25f));
    const sf::Vector2u size = TextureManager::getTexture("spider_stage_4").getSize();
    EXPECT_EQ(spider.sprite.getTextureRect(),
              sf::IntRect(0, 0, static_cast<int>(size.x), static_cast<int>(size.y)));
    EXPECT_EQ(Spider(1, 0, 0).id, spider.id + 1);
}

TEST(Entities, AStageWithoutAPictureCannotBeMade) {
    useGameTextures();
    EXPECT_THROW(Spider(lastStage + 1, 0, 0), MissingTexture);
    Spider top(lastStage, 0, 0);
    EXPECT_THROW(top.evolve(), MissingTexture);
}
