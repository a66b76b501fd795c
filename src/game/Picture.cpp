#include "game/Picture.hpp"

#include <cstring>

template <typename T> void Picture::sign(const T& value) {
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    for (const unsigned char byte : bytes) {
        hash = (hash ^ byte) * 1099511628211ull; // FNV-1a's prime
    }
}

void Picture::sign(const sf::String& letters) {
    for (const sf::Uint32 letter : letters) {
        sign(letter);
    }
    sign(letters.getSize()); // where these letters end and the next part begins
}

void Picture::signTransform(const sf::Transformable& part) {
    // A 2D transform fills six of the 4 x 4 matrix's numbers; the rest are fixed.
    const float* matrix = part.getTransform().getMatrix();
    for (const int i : {0, 1, 4, 5, 12, 13}) {
        sign(matrix[i]);
    }
}

void Picture::clear() {
    background = sf::Sprite();
    parts.clear();
    hash = emptySignature;
}

void Picture::addBackground(const sf::Texture& texture) {
    background.setTexture(texture, true);
    sign(&texture);
    sign(texture.isSmooth());
}

void Picture::add(const sf::Sprite& sprite) {
    parts.push_back(&sprite);
    signTransform(sprite);
    sign(sprite.getTexture());
    sign(sprite.getTextureRect());
    sign(sprite.getColor());
}

void Picture::add(const sf::Text& text) {
    parts.push_back(&text);
    signTransform(text);
    sign(text.getString());
    sign(text.getFont());
    sign(text.getCharacterSize());
    sign(text.getStyle());
    sign(text.getLetterSpacing());
    sign(text.getLineSpacing());
    sign(text.getFillColor());
    sign(text.getOutlineColor());
    sign(text.getOutlineThickness());
}

void Picture::add(const sf::RectangleShape& band) {
    parts.push_back(&band);
    signTransform(band);
    sign(band.getSize());
    sign(band.getFillColor());
    sign(band.getOutlineColor());
    sign(band.getOutlineThickness());
}

void Picture::add(const sf::Sprite& sprite, const std::string& shows) {
    add(sprite);
    for (const char c : shows) {
        sign(c);
    }
    sign(shows.size());
}

void Picture::draw(sf::RenderTarget& target) const {
    // Dark bars beside the board in a window forced to another shape
    target.clear(background.getTexture() ? sf::Color(29, 26, 20) : sf::Color::White);
    target.draw(background); // nothing without a texture
    for (const sf::Drawable* part : parts) {
        target.draw(*part);
    }
}
