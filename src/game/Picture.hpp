#pragma once

#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Text.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <cstdint>
#include <string>
#include <vector>

// What a frame shows: its parts in drawing order, and one signature of all
// they show. Every part drawn is added here, and each add signs what it
// shows (place, scale, picture, colours, letters and font), so nothing can
// be drawn that the signature misses. The parts are not copied; they must
// live until the picture is drawn.
class Picture {
public:
    // Empties the picture for the next frame.
    void clear();

    // The whole of `texture` at the top-left corner, under everything added.
    void addBackground(const sf::Texture& texture);
    // Each of these is drawn over the parts added before it.
    void add(const sf::Sprite& sprite);
    void add(const sf::Text& text);
    void add(const sf::RectangleShape& band);
    // A sprite whose texture is drawn again in place when what it shows
    // changes: `shows` says what that is.
    void add(const sf::Sprite& sprite, const std::string& shows);

    std::uint64_t signature() const { return hash; }

    // Clears `target` to white and draws every part in order.
    void draw(sf::RenderTarget& target) const;

private:
    // FNV-1a over the bytes of `value`.
    template <typename T> void sign(const T& value);
    void signPlace(const sf::Transformable& part);

    static constexpr std::uint64_t emptySignature = 14695981039346656037ull; // FNV-1a's start

    sf::Sprite background;
    bool hasBackground = false;
    std::vector<const sf::Drawable*> parts;
    std::uint64_t hash = emptySignature;
};
