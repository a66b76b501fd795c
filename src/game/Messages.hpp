#pragma once

#include "game/Picture.hpp"
#include "platform/TextEngine.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <functional>
#include <string>

// What the window says of saving, over the board: the close notice on a dark
// band across the middle, and along the bottom edge, each on a dark strip,
// the line saying that saves fail and the line saying that a board was
// brought back. Texts come as UTF-8; the system's text engine shapes them and
// finds fonts for every script, each is laid out once, when it (or the
// window's scale) changes, into a picture, and adding it to a frame's
// picture changes nothing.
class Messages {
public:
    // Set in `font`, read from `fontFile`, where it has the letters.
    Messages(const sf::Font& font, const std::string& fontFile);

    // The close notice, the failure line and the line saying that a board
    // was brought back (empty: none), on a window `scale` times the board
    // (windowScale).
    void show(const std::string& notice, const std::string& failureLine,
              const std::string& restoredLine, float scale);

    // Adds the texts shown, each over its band or strip, on top of `picture`.
    void addTo(Picture& picture) const;

    bool showsNotice() const { return !notice.utf8.empty(); }

    // The letters drawn, with the line breaks of the layout.
    const sf::String& noticeShown() const { return notice.shown; }
    const sf::String& failureLineShown() const { return failure.shown; }
    const sf::String& restoredLineShown() const { return restored.shown; }

    // The engine the texts are laid out and drawn with.
    const TextEngine& engine() const { return engine_; }

private:
    struct Message {
        std::string utf8;
        sf::String shown;
        sf::Texture picture;
        sf::Sprite letters;
        sf::RectangleShape back;
    };

    void layOut();
    // Lays `message` out in letters `size` board pixels high, within
    // `margin` of the board's sides (in two lines at most, with `twoLines`),
    // on a band `margin` wider than the letters each way, whose top `topOf`
    // gives for the band's height. Returns the band's top.
    float layOut(Message& message, unsigned size, float margin, bool twoLines,
                 const std::function<float(float band)>& topOf);
    // Draws `message.shown` at `pixelSize` into its picture; returns the
    // picture's height in board pixels.
    float drawLetters(Message& message, unsigned pixelSize);

    TextEngine engine_;
    float scale = 1.f;
    Message notice;
    Message failure;
    Message restored;
};

// The width in pixels that a line of text takes.
using WidthOf = std::function<float(const sf::String&)>;

// `text` with line breaks added so that no line is wider than `width` as
// `widthOf` measures it, spaces included: at the last space that fits, or at
// a space that does not (the space at a break is dropped), or between two
// letters of a word too long for a line. A letter wider than the whole line
// stands alone on it.
sf::String wrapToWidth(const sf::String& text, const WidthOf& widthOf, float width);

// `text` as UTF-8.
std::string encodedUtf8(const sf::String& text);

// Makes `texture` the letters `drawn`, white; false when there are none, or
// too many for a texture.
bool lettersTexture(const TextPicture& drawn, sf::Texture& texture);

// The letters of `utf8`. Each ill-formed sequence (a stray or missing
// continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF, a sequence cut off at the end) becomes one U+FFFD, and the
// letters after it are kept.
sf::String decodedUtf8(const std::string& utf8);
