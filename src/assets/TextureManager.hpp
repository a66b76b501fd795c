#pragma once

#include <SFML/Graphics/Texture.hpp>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

// Every picture, loaded once at start-up and named by its file's name without
// the extension, for the whole run.
class TextureManager {
public:
    static std::map<std::string, sf::Texture> textures;

    // Every entry directly inside the folder `path`, or the file `path`. An
    // entry that fails to load still gets an empty texture under its name.
    // Throws std::filesystem::filesystem_error for a folder that cannot be listed.
    static void addTextures(std::filesystem::path path);

    // Throws MissingTexture for a name it does not hold.
    static sf::Texture& getTexture(std::string name);
};

class MissingTexture : public std::runtime_error {
public:
    explicit MissingTexture(const std::string& name);
};

// One extension is removed, and a leading dot does not start one.
std::string filenameNoExtension(std::filesystem::path path);
