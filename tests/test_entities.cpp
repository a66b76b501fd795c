#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

namespace {

class Entities : public ::testing::Test {
protected:
    void SetUp() override { useGameTextures(); }
};

const sf::Texture* textureOf(const std::string& name) {
    return &TextureManager::getTexture(name);
}

} // namespace

TEST_F(Entities, IdCountersAreSeparatePerClassAndCopiesKeepTheirId) {
    const int firstSpiderId = Spider::nextId;
    const int firstBoxId = Box::nextId;
    Spider a(1, 0, 0);
    Box box(0, 0);
    Spider b(1, 0, 0);
    EXPECT_EQ(a.id, firstSpiderId);
    EXPECT_EQ(b.id, firstSpiderId + 1);
    EXPECT_EQ(box.id, firstBoxId);
    EXPECT_EQ(Box::nextId, firstBoxId + 1);

    Spider copy = a;
    a.evolve();
    a.sprite.move(30, 40);
    EXPECT_TRUE(copy == a);
    EXPECT_FALSE(copy != a);
    EXPECT_TRUE(a != b);
    EXPECT_EQ(Spider::nextId, firstSpiderId + 2) << "copies take no id";

    Box boxCopy = box;
    box.hit();
    Box samePlace(0, 0);
    EXPECT_TRUE(boxCopy == box);
    EXPECT_FALSE(samePlace == box);
}

TEST_F(Entities, EvolveKeepsThePlaceAndShowsTheWholeNewPicture) {
    Spider spider(3, 0, 0);
    spider.sprite.setPosition(350, 410);
    spider.sprite.setScale(2, 2);
    spider.evolve();
    EXPECT_EQ(spider.stage, 4);
    EXPECT_EQ(spider.sprite.getPosition(), sf::Vector2f(350, 410));
    EXPECT_EQ(spider.sprite.getScale(), sf::Vector2f(0.25f, 0.25f));
    const sf::Texture* texture = textureOf("spider_stage_4");
    EXPECT_EQ(spider.sprite.getTexture(), texture);
    EXPECT_EQ(spider.sprite.getTextureRect(),
              sf::IntRect(0, 0, static_cast<int>(texture->getSize().x),
                          static_cast<int>(texture->getSize().y)));
}

TEST_F(Entities, EarningsAreTheStageSquared) {
    const int expected[] = {1, 4, 9, 16, 25, 36, 49, 64, 81, 100, 121, 144};
    for (int stage = 1; stage <= 12; ++stage) {
        Spider spider(stage, 5, 5);
        EXPECT_EQ(spider.earnMoney(), expected[stage - 1]);
    }
}

TEST_F(Entities, ABoxShowsEachHitAndKeepsItsFirstPictureAfterTheThird) {
    Box box(12.7, 400.25);
    EXPECT_EQ(box.damage, 0);
    EXPECT_EQ(box.sprite.getTexture(), textureOf("box_damage_0"));
    EXPECT_EQ(box.sprite.getPosition(), sf::Vector2f(12.7f, 400.25f));
    EXPECT_EQ(box.sprite.getScale(), sf::Vector2f(0.25f, 0.25f));
    const sf::IntRect firstRect = box.sprite.getTextureRect();

    box.hit();
    EXPECT_EQ(box.damage, 1);
    EXPECT_EQ(box.sprite.getTexture(), textureOf("box_damage_1"));
    box.hit();
    EXPECT_EQ(box.sprite.getTexture(), textureOf("box_damage_2"));
    box.hit();
    box.hit();
    EXPECT_EQ(box.damage, 4);
    EXPECT_EQ(box.sprite.getTexture(), textureOf("box_damage_2"));
    EXPECT_EQ(box.sprite.getTextureRect(), firstRect);
    EXPECT_EQ(box.sprite.getPosition(), sf::Vector2f(12.7f, 400.25f));
}

TEST_F(Entities, AStageWithoutAPictureCannotBeMade) {
    EXPECT_THROW(Spider(13, 0, 0), MissingTexture);
    Spider top(12, 0, 0);
    EXPECT_THROW(top.evolve(), MissingTexture);
}
