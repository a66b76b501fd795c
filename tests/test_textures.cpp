#include "assets/TextureManager.hpp"
#include "game/Startup.hpp"
#include "support.hpp"

#include <SFML/Graphics/Image.hpp>

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

void writePicture(const fs::path& path, unsigned width, unsigned height) {
    sf::Image image;
    image.create(width, height, sf::Color::Red);
    ASSERT_TRUE(image.saveToFile(path.string()));
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { TextureManager::textures.clear(); }
    void TearDown() override { TextureManager::textures.clear(); }
    ScratchFolder scratch;
};

} // namespace

TEST_F(Registry, TheGameFolderGivesExactlyTheSixteenNames) {
    TextureManager::addTextures(fs::path(TANGLEROOT_ASSETS) / "textures");
    std::vector<std::string> names;
    for (const auto& [name, texture] : TextureManager::textures) {
        names.push_back(name);
    }
    std::vector<std::string> expected = gameTextureNames();
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

// The art must fit the board: background exactly 800 x 800, boxes all one
// size, spiders growing stage by stage, every entity 40 to 110 pixels on the
// board and smoothed.
TEST_F(Registry, GamePicturesHaveBoardSizes) {
    TextureManager::addTextures(fs::path(TANGLEROOT_ASSETS) / "textures");
    EXPECT_EQ(TextureManager::getTexture("background").getSize(), sf::Vector2u(800, 800));
    const sf::Vector2u boxSize = TextureManager::getTexture("box_damage_0").getSize();
    for (int damage = 1; damage <= 2; ++damage) {
        EXPECT_EQ(TextureManager::getTexture("box_damage_" + std::to_string(damage)).getSize(),
                  boxSize);
    }
    sf::Vector2u previous(0, 0);
    for (int stage = 1; stage <= 12; ++stage) {
        const sf::Vector2u size =
            TextureManager::getTexture("spider_stage_" + std::to_string(stage)).getSize();
        EXPECT_GE(size.x, previous.x) << "stage " << stage;
        EXPECT_GE(size.y, previous.y) << "stage " << stage;
        previous = size;
    }
    for (const std::string& name : gameTextureNames()) {
        // Things are reduced smoothly; the background is drawn as it is.
        EXPECT_EQ(TextureManager::getTexture(name).isSmooth(), name != "background") << name;
        if (name == "background") {
            continue;
        }
        const sf::Vector2u size = TextureManager::getTexture(name).getSize();
        for (unsigned side : {size.x, size.y}) {
            EXPECT_GE(side / 4.0, 40.0) << name;
            EXPECT_LE(side / 4.0, 110.0) << name;
        }
    }
}

TEST_F(Registry, UnloadableEntriesGetEmptyTexturesAndTheRestLoads) {
    writePicture("box_damage_0.png", 8, 6);
    writeFile("notes.txt", "not a picture");

    TextureManager::addTextures(".");

    ASSERT_EQ(TextureManager::textures.size(), 2u);
    EXPECT_EQ(TextureManager::getTexture("box_damage_0").getSize(), sf::Vector2u(8, 6));
    EXPECT_EQ(TextureManager::getTexture("notes").getSize(), sf::Vector2u(0, 0));
}
