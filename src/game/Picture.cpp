#include "game/Picture.hpp"

#include <cstring>

template <typename T> void Picture::sign(const T& value) {
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    for (const unsigned char byte : bytes) {
        hash = (hash ^ byte) * 1099511628211ull; // FNV-1a's prime
    }
}

void Picture::signPlace(const sf::Transformable& part) {
    sign(part.getPosition().x);
    sign(part.getPosition().y);
    sign(part.getScale().x);
    sign(part.getScale().y);
}

void Picture::clear() {
    hasBackground = false;
    parts.clear();
    hash = emptySignature;
}

void Picture::addBackground(const sf::Texture& texture) {
    background.setTexture(texture, true);
    hasBackground = true;
    sign(&texture);
    sign(texture.isSmooth());
}

void Picture::add(const sf::Sprite& sprite) {
    parts.push_back(&sprite);
    signPlace(sprite);
    sign(sprite.getTexture());
    sign(sprite.getTextureRect());
    sign(sprite.getColor());
}

void Picture::add(const sf::Text& text) {
    parts.push_back(&text);
    signPlace(text);
    for (const sf::Uint32 letter : text.getString()) {
        sign(letter);
    }
    sign(text.getString().getSize()); // where this text ends and the next part begins
    sign(text.getFont());
    sign(text.getCharacterSize());
    sign(text.getFillColor());
    sign(text.getOutlineColor());
    sign(text.getOutlineThickness());
}

void Picture::add(const sf::RectangleShape& band) {
    parts.push_back(&band);
    signPlace(band);
    sign(band.getSize().x);
    sign(band.getSize().y);
    sign(band.getFillColor());
}

void Picture::add(const sf::Sprite& sprite, const std::string& shows) {
    add(sprite);
    for (const char c : shows) {
        sign(c);
    }
    sign(shows.size());
}

void Picture::draw(sf::RenderTarget& target) const {
    target.clear(sf::Color::White);
    if (hasBackground) {
        target.draw(background);
    }
    for (const sf::Drawable* part : parts) {
        target.draw(*part);
    }
}
