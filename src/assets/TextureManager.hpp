#pragma once

#include <SFML/Graphics/Texture.hpp>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

// Every picture of the game, loaded once at start-up and handed out by name
// (the file name without its extension) for the whole run.
class TextureManager {
public:
    static std::map<std::string, sf::Texture> textures;

    // Loads every entry directly inside the folder `path`, or the one file
    // `path` when it is a regular file. Entries that fail to load still get
    // a (empty) texture under their name. Throws
    // std::filesystem::filesystem_error when `path` is neither a file nor a
    // folder that can be listed.
    static void addTextures(std::filesystem::path path);

    // The texture registered under `name`; throws MissingTexture when there
    // is none.
    static sf::Texture& getTexture(std::string name);
};

// Thrown by TextureManager::getTexture for a name the registry does not hold.
class MissingTexture : public std::runtime_error {
public:
    explicit MissingTexture(const std::string& name);
};

// "assets/textures/spider_stage_3.png" -> "spider_stage_3"; one extension is
// removed, and a leading dot does not start one.
std::string filenameNoExtension(std::filesystem::path path);
