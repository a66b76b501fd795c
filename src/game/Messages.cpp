#include "game/Messages.hpp"

#include "entities/Board.hpp"
#include "game/Phases.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

namespace {

constexpr unsigned noticeSize = 20;
constexpr float noticeMargin = 30.f;
constexpr unsigned lineSize = 14;
constexpr float lineMargin = 3.f;
const sf::Color bandColour(90, 20, 20, 225);
const sf::Color stripColour(90, 20, 20, 200);

// Two lines at most, and the rest cut between two letters with "..." (stderr
// has the whole reason).
sf::String inTwoLines(sf::String text, const WidthOf& widthOf, float width) {
    std::replace_if(
        text.begin(), text.end(), [](sf::Uint32 c) { return c < ' '; }, ' ');
    const auto fits = [&](const sf::String& candidate) { return widthOf(candidate) <= width; };
    text = wrapToWidth(text, widthOf, width);
    const std::size_t firstBreak = text.find("\n");
    if (firstBreak == sf::String::InvalidPos) {
        return text;
    }
    sf::String second = text.substring(firstBreak + 1);
    std::replace(second.begin(), second.end(), sf::Uint32('\n'), sf::Uint32(' '));
    if (!fits(second)) {
        std::size_t kept = 0; // the most letters that fit before "...", found by halves
        std::size_t tooMany = second.getSize();
        while (tooMany - kept > 1) {
            const std::size_t middle = (kept + tooMany) / 2;
            if (fits(second.substring(0, middle) + "...")) {
                kept = middle;
            } else {
                tooMany = middle;
            }
        }
        second = second.substring(0, kept) + "...";
    }
    return text.substring(0, firstBreak + 1) + second;
}

} // namespace

sf::String decodedUtf8(const std::string& utf8) {
    std::basic_string<sf::Uint32> letters;
    std::size_t at = 0;
    const auto next = [&] { return at < utf8.size() ? static_cast<unsigned char>(utf8[at]) : 0u; };
    while (at < utf8.size()) {
        const unsigned lead = next();
        ++at;
        const int following = lead < 0x80   ? 0
                              : lead < 0xC2 ? -1 // a stray continuation byte, C0 or C1
                              : lead < 0xE0 ? 1
                              : lead < 0xF0 ? 2
                              : lead < 0xF5 ? 3
                                            : -1;
        // The byte after E0, ED, F0 or F4 has a narrower range, which keeps out
        // overlong forms, surrogates and code points past U+10FFFF.
        unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        sf::Uint32 letter = following > 0 ? lead & (0x3Fu >> following) : lead;
        int read = 0;
        for (; read < following && next() >= low && next() <= high; ++read, ++at) {
            letter = letter << 6 | (next() & 0x3Fu);
            low = 0x80;
            high = 0xBF;
        }
        letters += read == following ? letter : 0xFFFD; // the byte that broke it starts anew
    }
    return sf::String(letters);
}

std::string encodedUtf8(const sf::String& text) {
    std::string bytes;
    sf::Utf32::toUtf8(text.begin(), text.end(), std::back_inserter(bytes));
    return bytes;
}

sf::String wrapToWidth(const sf::String& text, const WidthOf& widthOf, float width) {
    using Letters = std::basic_string<sf::Uint32>;
    const Letters letters = text.toUtf32();
    Letters wrapped;
    Letters line;
    const auto fits = [&](const Letters& candidate) {
        return widthOf(sf::String(candidate)) <= width;
    };
    for (std::size_t at = 0; at < letters.size(); ++at) {
        const sf::Uint32 c = letters[at];
        if (c == '\n') {
            wrapped += line + c;
            line.clear();
        } else if (line.empty() || fits(line + c)) {
            line += c; // a letter wider than the whole line stands alone
        } else if (c == ' ') {
            wrapped += line + sf::Uint32('\n'); // a space that does not fit breaks, dropped
            line.clear();
        } else {
            // The letter is tried again on the shorter line left after the break.
            const std::size_t space = line.rfind(' ');
            const Letters rest = space == Letters::npos ? Letters() : line.substr(space + 1);
            wrapped +=
                line.substr(0, space == Letters::npos ? line.size() : space) + sf::Uint32('\n');
            line = rest;
            --at;
        }
    }
    return sf::String(wrapped + line);
}

Messages::Messages(const sf::Font& font, const std::string& fontFile)
    : engine_(fontFile, font.getInfo().family) {
    notice.band.setFillColor(bandColour);
    failure.band.setFillColor(stripColour);
    restored.band.setFillColor(stripColour);
}

void Messages::show(const std::string& noticeText, const std::string& failureLine,
                    const std::string& restoredLine, float newScale) {
    if (noticeText == notice.utf8 && failureLine == failure.utf8 && restoredLine == restored.utf8 &&
        newScale == scale) {
        return;
    }
    notice.utf8 = noticeText;
    failure.utf8 = failureLine;
    restored.utf8 = restoredLine;
    scale = newScale;
    layOut(notice, noticeSize, noticeMargin, false,
           [](float band) { return (boardSide - band) / 2; });
    const float failureTop =
        layOut(failure, lineSize, lineMargin, true, [](float band) { return boardSide - band; });
    layOut(restored, lineSize, lineMargin, true, [&](float band) { return failureTop - band; });
}

bool drawLetters(const TextEngine& engine, const sf::String& text, unsigned pixelSize, float width,
                 bool twoLines, sf::String& shown, sf::Texture& texture) {
    const WidthOf widthOf = [&](const sf::String& line) {
        return static_cast<float>(engine.width(encodedUtf8(line), pixelSize));
    };
    shown = twoLines ? inTwoLines(text, widthOf, width) : wrapToWidth(text, widthOf, width);
    const TextPicture drawn = engine.draw(encodedUtf8(shown), pixelSize);
    if (drawn.width == 0 || drawn.height == 0 || !texture.create(drawn.width, drawn.height)) {
        return false;
    }
    std::vector<sf::Uint8> pixels(drawn.alpha.size() * 4, 255);
    for (std::size_t i = 0; i < drawn.alpha.size(); ++i) {
        pixels[4 * i + 3] = drawn.alpha[i];
    }
    texture.update(pixels.data());
    return true;
}

float Messages::layOut(Message& message, unsigned size, float margin, bool twoLines,
                       const std::function<float(float band)>& topOf) {
    const bool drawn = drawLetters(
        engine_, decodedUtf8(message.utf8), screenPixels(static_cast<float>(size), scale),
        (boardSide - 2 * margin) * scale, twoLines, message.shown, message.picture);
    if (message.shown.isEmpty()) {
        return topOf(0.f);
    }
    float height = 0.f;
    if (drawn) {
        message.letters.setTexture(message.picture, true);
        message.letters.setScale(1 / scale, 1 / scale); // made in window pixels
        height = static_cast<float>(message.picture.getSize().y) / scale;
    } else {
        message.letters.setTextureRect({});
    }
    message.band.setSize({boardSide, height + 2 * margin});
    const float top = topOf(message.band.getSize().y);
    message.band.setPosition(0.f, top);
    // On whole window pixels, where the letters were made to lie.
    message.letters.setPosition(std::round(margin * scale) / scale,
                                std::round((top + margin) * scale) / scale);
    return top;
}

void Messages::addTo(Picture& picture) const {
    for (const Message* message : {&failure, &restored, &notice}) {
        if (!message->utf8.empty()) {
            picture.add(message->band);
            picture.add(message->letters, message->utf8);
        }
    }
}
