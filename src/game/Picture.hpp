#pragma once

#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Text.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <cstdint>
#include <string>
#include <vector>

// A frame's parts in drawing order, and one signature of every pixel they
// decide: each add signs all it draws, so nothing is drawn that the signature
// misses. The parts are not copied and must live until drawn.
class Picture {
public:
    void clear();

    // The whole texture at the top-left corner, under everything added.
    void addBackground(const sf::Texture& texture);
    void add(const sf::Sprite& sprite);
    void add(const sf::Text& text);
    void add(const sf::RectangleShape& band);
    // A sprite whose texture is redrawn in place when `shows` changes.
    void add(const sf::Sprite& sprite, const std::string& shows);

    std::uint64_t signature() const { return hash; }

    void draw(sf::RenderTarget& target) const;

private:
    template <typename T> void sign(const T& value);
    void sign(const sf::String& letters);
    void signTransform(const sf::Transformable& part);

    static constexpr std::uint64_t emptySignature = 14695981039346656037ull; // FNV-1a's start

    sf::Sprite background;
    std::vector<const sf::Drawable*> parts;
    std::uint64_t hash = emptySignature;
};
