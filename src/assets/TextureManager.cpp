#include "assets/TextureManager.hpp"

void TextureManager::addTextures(std::filesystem::path path) {
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        const std::string name = entry.path().stem().string();
        sf::Texture& texture = textures[name];
        // Things, shrunk to a quarter, keep clean edges and thin lines through
        // mipmaps. The background is drawn at its size, where smoothing would
        // cost a software renderer a third of its frame.
        if (texture.loadFromFile(entry.path().string()) && name != "background") {
            texture.setSmooth(true);
            texture.generateMipmap();
        }
    }
}

sf::Texture& TextureManager::getTexture(std::string name) {
    auto found = textures.find(name);
    if (found == textures.end()) {
        throw MissingTexture(name);
    }
    return found->second;
}
