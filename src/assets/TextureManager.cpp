#include "assets/TextureManager.hpp"

#include <system_error>

std::map<std::string, sf::Texture> TextureManager::textures;

namespace {

const char* const backgroundName = "background";

void addTextureFile(const std::filesystem::path& path) {
    sf::Texture& texture = TextureManager::textures[filenameNoExtension(path)];
    // Things, shrunk to a quarter, keep clean edges and thin lines through
    // mipmaps. The background is drawn at its size, where smoothing would cost
    // a software renderer a third of its frame.
    if (texture.loadFromFile(path.string()) && filenameNoExtension(path) != backgroundName) {
        texture.setSmooth(true);
        texture.generateMipmap();
    }
}

} // namespace

void TextureManager::addTextures(std::filesystem::path path) {
    std::error_code unreadable;
    if (std::filesystem::is_regular_file(path, unreadable)) {
        addTextureFile(path);
        return;
    }
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        addTextureFile(entry.path());
    }
}

sf::Texture& TextureManager::getTexture(std::string name) {
    auto found = textures.find(name);
    if (found == textures.end()) {
        throw MissingTexture(name);
    }
    return found->second;
}

MissingTexture::MissingTexture(const std::string& name)
    : std::runtime_error("no texture named \"" + name + "\"") {}

std::string filenameNoExtension(std::filesystem::path path) {
    return path.stem().string();
}
