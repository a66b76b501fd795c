#include "assets/TextureManager.hpp"
#include "entities/Board.hpp"
#include "game/Startup.hpp"
#include "support.hpp"

#include <SFML/Graphics/Image.hpp>

#include <gtest/gtest.h>

#include <algorithm>

// The art must fit the board: the background exactly 800 x 800 and drawn as
// it is, boxes all one size, spiders growing stage by stage, every thing 40 to
// 110 pixels on the board and reduced smoothly.
TEST(Textures, TheGameFolderGivesEveryPictureTheGameAsksForAtBoardSize) {
    TextureManager::textures.clear();
    TextureManager::addTextures(std::filesystem::path(TANGLEROOT_ASSETS) / "textures");
    EXPECT_EQ(TextureManager::textures.size(), gameTextureNames().size());
    const sf::Vector2u box = TextureManager::getTexture("box_damage_0").getSize();
    sf::Vector2u spider;
    for (const std::string& name : gameTextureNames()) {
        const sf::Texture& picture = TextureManager::getTexture(name);
        const sf::Vector2u size = picture.getSize();
        EXPECT_EQ(picture.isSmooth(), name != "background") << name;
        if (name == "background") {
            EXPECT_EQ(size, sf::Vector2u(800, 800));
            continue;
        }
        EXPECT_TRUE(std::min(size.x, size.y) >= 160 && std::max(size.x, size.y) <= 440) << name;
        if (name.rfind("spider", 0) == 0) {
            EXPECT_TRUE(size.x >= spider.x && size.y >= spider.y) << name;
            spider = size;
        } else {
            EXPECT_EQ(size, box) << name;
        }
    }
}

TEST(Textures, APictureMissingOrNotAnImageIsNamedAndTheOthersLoad) {
    const ScratchFolder scratch;
    std::filesystem::create_directory("textures");
    sf::Image picture;
    picture.create(8, 6, sf::Color::Red);
    ASSERT_TRUE(picture.saveToFile("textures/box_damage_0.png"));
    const auto problem = [] {
        try {
            loadGameTextures("textures");
        } catch (const StartupError& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    TextureManager::textures.clear();
    EXPECT_NE(problem().find("picture \"background\" not found"), std::string::npos);
    writeFile("textures/background.png", "");
    EXPECT_NE(problem().find("picture \"background\" cannot be loaded"), std::string::npos);
    EXPECT_EQ(TextureManager::getTexture("box_damage_0").getSize(), sf::Vector2u(8, 6));
    TextureManager::textures.clear(); // the next test loads the game's own
}
