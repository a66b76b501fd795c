#pragma once

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Text.hpp>

#include <string>

// What the window says of saving, over the board: the close notice on a dark
// band across the middle, and along the bottom edge, each on a dark strip,
// the line saying that saves fail and the line saying that a board was
// brought back. Texts come as UTF-8; each is laid out once, when it (or the
// window's scale) changes, and drawing changes nothing.
class Messages {
public:
    explicit Messages(const sf::Font& font);

    // The close notice, the failure line and the line saying that a board
    // was brought back (empty: none), on a window `scale` times the board
    // (windowScale).
    void show(const std::string& notice, const std::string& failureLine,
              const std::string& restoredLine, float scale);

    void draw(sf::RenderTarget& target) const;

    bool showsNotice() const { return !notice.utf8.empty(); }

    // The letters drawn, with the line breaks of the layout.
    const sf::String& noticeShown() const { return notice.text.getString(); }
    const sf::String& failureLineShown() const { return failure.text.getString(); }
    const sf::String& restoredLineShown() const { return restored.text.getString(); }

private:
    struct Message {
        std::string utf8;
        sf::Text text;
        sf::RectangleShape back;
    };

    void layOut();
    void layOutNotice();
    // Lays out a one-line message with its strip's bottom at `bottom`;
    // returns its strip's top.
    float layOutLine(Message& message, float bottom);

    float scale = 1.f;
    Message notice;
    Message failure;
    Message restored;
};

// `text` with line breaks added so that no line is wider than `width` when
// set in `measure` (its font and size, before its scale): at the last space
// that fits, or between two letters of a word too long for a line.
sf::String wrapToWidth(const sf::String& text, sf::Text& measure, float width);

// The letters of `utf8`. Each ill-formed sequence (a stray or missing
// continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF, a sequence cut off at the end) becomes one U+FFFD, and the
// letters after it are kept.
sf::String decodedUtf8(const std::string& utf8);
