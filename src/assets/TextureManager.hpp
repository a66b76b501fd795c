#pragma once

#include <SFML/Graphics/Texture.hpp>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

// Named by their file's name without the extension.
class TextureManager {
public:
    inline static std::map<std::string, sf::Texture> textures;

    // An entry of the folder that fails to load still gets an empty texture
    // under its name. Throws std::filesystem::filesystem_error when unlistable.
    static void addTextures(std::filesystem::path path);

    static sf::Texture& getTexture(std::string name);
};

class MissingTexture : public std::runtime_error {
public:
    explicit MissingTexture(const std::string& name)
        : std::runtime_error("no texture named \"" + name + "\"") {}
};
