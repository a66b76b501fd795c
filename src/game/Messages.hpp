#pragma once

#include "game/Picture.hpp"
#include "platform/TextEngine.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <functional>
#include <string>

// The close notice across the middle; along the bottom the failure line and,
// above it, the restored line. Laid out again only when one or the scale changes.
class Messages {
public:
    Messages(const sf::Font& font, const std::string& fontFile);

    // Empty: none.
    void show(const std::string& notice, const std::string& failureLine,
              const std::string& restoredLine, float scale);
    void addTo(Picture& picture) const;
    bool showsNotice() const { return !notice.utf8.empty(); }

    // With the layout's line breaks.
    const sf::String& noticeShown() const { return notice.shown; }
    const sf::String& failureLineShown() const { return failure.shown; }
    const sf::String& restoredLineShown() const { return restored.shown; }
    const TextEngine& engine() const { return engine_; }

private:
    struct Message {
        std::string utf8;
        sf::String shown;
        sf::Texture picture;
        sf::Sprite letters;
        sf::RectangleShape band;
    };

    // Letters `size` board pixels high on a band `margin` wider each way, whose
    // top `topOf` gives for its height. Returns the band's top.
    float layOut(Message& message, unsigned size, float margin, bool twoLines,
                 const std::function<float(float band)>& topOf);

    TextEngine engine_;
    float scale = 1.f;
    Message notice;
    Message failure;
    Message restored;
};

using WidthOf = std::function<float(const sf::String&)>;

// Breaks at the last space that fits, at a space that does not (dropped), or
// inside a word too long for a line; a letter wider than a line stands alone.
sf::String wrapToWidth(const sf::String& text, const WidthOf& widthOf, float width);

std::string encodedUtf8(const sf::String& text);

// Wrapped to `width` window pixels (`twoLines`: cut after two) into `shown`, and
// drawn white into `texture`; false when there are no letters, or too many.
bool drawLetters(const TextEngine& engine, const sf::String& text, unsigned pixelSize, float width,
                 bool twoLines, sf::String& shown, sf::Texture& texture);

// Each ill-formed sequence becomes one U+FFFD; the letters after it are kept.
sf::String decodedUtf8(const std::string& utf8);
