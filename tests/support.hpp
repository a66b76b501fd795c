#pragma once

#include "assets/TextureManager.hpp"
#include "entities/Board.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/System/String.hpp>
#include <SFML/Window/Event.hpp>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

// Fills the registry with the game's own pictures, unless it holds them already.
inline void useGameTextures() {
    if (TextureManager::textures.size() != gameTextureNames().size() ||
        TextureManager::textures.count("background") == 0) {
        TextureManager::textures.clear();
        TextureManager::addTextures(std::filesystem::path(TANGLEROOT_ASSETS) / "textures");
    }
}

// The game's font.
inline sf::Font gameFont() {
    sf::Font font;
    if (!font.loadFromFile(TANGLEROOT_ASSETS "/fonts/roboto.ttf")) {
        throw std::runtime_error("the game's font did not load");
    }
    return font;
}

// A fresh empty folder that is the working folder while the object lives.
class ScratchFolder {
public:
    ScratchFolder() : previous(std::filesystem::current_path()) {
        std::random_device device;
        path = std::filesystem::temp_directory_path() /
               ("tangleroot-test-" + std::to_string(::getpid()) + "-" + std::to_string(device()));
        std::filesystem::create_directories(path);
        std::filesystem::current_path(path);
    }
    ~ScratchFolder() {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::filesystem::path path;

private:
    std::filesystem::path previous;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Text as the window holds it, and back.
inline sf::String decoded(const std::string& utf8) {
    return sf::String::fromUtf8(utf8.begin(), utf8.end());
}
inline std::string utf8Of(const sf::String& text) {
    std::string bytes;
    sf::Utf32::toUtf8(text.begin(), text.end(), std::back_inserter(bytes));
    return bytes;
}

// A press, release or move of the left button at window pixel (x, y), or a new size.
inline sf::Event mouseEvent(sf::Event::EventType type, int x = 0, int y = 0) {
    sf::Event made{};
    made.type = type;
    made.mouseButton = {sf::Mouse::Left, x, y};
    if (type == sf::Event::MouseMoved) {
        made.mouseMove = {x, y};
    } else if (type == sf::Event::Resized) {
        made.size = {static_cast<unsigned>(x), static_cast<unsigned>(y)};
    }
    return made;
}
