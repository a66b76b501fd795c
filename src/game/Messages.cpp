#include "game/Messages.hpp"

#include "game/Phases.hpp"

#include <cmath>

namespace {

constexpr unsigned noticeSize = 20;
constexpr float noticeMargin = 30.f;
constexpr unsigned lineSize = 14;
constexpr float lineMargin = 3.f;
const sf::Color bandColour(90, 20, 20, 225);
const sf::Color stripColour(90, 20, 20, 200);

} // namespace

sf::String decodedUtf8(const std::string& utf8) {
    constexpr sf::Uint32 replacement = 0xFFFD;
    std::basic_string<sf::Uint32> letters;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[at++]);
        if (lead < 0x80) {
            letters += lead;
            continue;
        }
        // How many bytes follow the lead, and the range the first of them
        // must lie in: narrower after E0, ED, F0 and F4, which keeps out
        // overlong forms, surrogates and code points past U+10FFFF.
        std::size_t following = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        sf::Uint32 letter = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            following = 1;
            letter = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            following = 2;
            letter = lead & 0x0Fu;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            following = 3;
            letter = lead & 0x07u;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            letters += replacement; // a stray continuation byte, C0, C1 or F5 to FF
            continue;
        }
        bool whole = true;
        for (std::size_t i = 0; i < following; ++i) {
            const auto next = at < utf8.size() ? static_cast<unsigned char>(utf8[at]) : 0u;
            if (next < low || next > high) {
                whole = false; // the byte that broke the sequence starts the next one
                break;
            }
            letter = letter << 6 | (next & 0x3Fu);
            ++at;
            low = 0x80;
            high = 0xBF;
        }
        letters += whole ? letter : replacement;
    }
    return sf::String(letters);
}

sf::String wrapToWidth(const sf::String& text, sf::Text& measure, float width) {
    using Letters = std::basic_string<sf::Uint32>;
    const Letters letters = text.toUtf32();
    Letters wrapped;
    Letters line;
    const auto fits = [&](const Letters& candidate) {
        measure.setString(sf::String(candidate));
        return measure.getLocalBounds().width <= width;
    };
    for (std::size_t at = 0; at < letters.size(); ++at) {
        const sf::Uint32 c = letters[at];
        if (c == '\n') {
            wrapped += line + c;
            line.clear();
        } else if (c == ' ' || line.empty() || fits(line + c)) {
            line += c; // a letter wider than the whole line stands alone
        } else {
            // Broken at the last space that fits, or inside a word with none;
            // the letter is tried again on the shorter line that is left.
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

Messages::Messages(const sf::Font& font) {
    for (Message* message : {&notice, &failure, &restored}) {
        message->text.setFont(font);
        message->text.setFillColor(sf::Color::White);
        message->back.setFillColor(stripColour);
    }
    notice.back.setFillColor(bandColour);
}

void Messages::show(const std::string& noticeText, const std::string& failureLine,
                    const std::string& restoredLine, float newScale) {
    if (noticeText != notice.utf8 || failureLine != failure.utf8 || restoredLine != restored.utf8 ||
        newScale != scale) {
        notice.utf8 = noticeText;
        failure.utf8 = failureLine;
        restored.utf8 = restoredLine;
        scale = newScale;
        layOut();
    }
}

void Messages::layOut() {
    layOutNotice();
    // The failure line at the very bottom, the restored board's above it.
    layOutLine(restored, layOutLine(failure, boardSize));
}

void Messages::layOutNotice() {
    // Laid out in the window's own pixels, then shrunk back to the board's.
    setScreenSize(notice.text, noticeSize, scale);
    notice.text.setString(
        wrapToWidth(decodedUtf8(notice.utf8), notice.text, (boardSize - 2 * noticeMargin) * scale));
    const sf::FloatRect bounds = notice.text.getLocalBounds();
    notice.back.setSize({boardSize, bounds.height / scale + 2 * noticeMargin});
    notice.back.setPosition(0.f, (boardSize - notice.back.getSize().y) / 2);
    // On whole window pixels, where the letters were made to lie.
    const float top = std::round((notice.back.getPosition().y + noticeMargin) * scale - bounds.top);
    notice.text.setPosition(std::round(noticeMargin * scale) / scale, top / scale);
}

float Messages::layOutLine(Message& message, float bottom) {
    sf::String shown = decodedUtf8(message.utf8);
    if (shown.isEmpty()) {
        message.text.setString(shown);
        return bottom;
    }
    for (std::size_t at = 0; at < shown.getSize(); ++at) {
        if (shown[at] < ' ') {
            shown[at] = ' '; // one line, whatever the reason holds
        }
    }
    // A reason too long for the line is cut between two letters, with "...";
    // the whole of it is on stderr.
    setScreenSize(message.text, lineSize, scale);
    const float width = (boardSize - 2 * lineMargin) * scale;
    const auto fits = [&](const sf::String& candidate) {
        message.text.setString(candidate);
        return message.text.getLocalBounds().width <= width;
    };
    if (!fits(shown)) {
        std::size_t kept = 0; // the most letters that fit before "...", found by halves
        std::size_t tooMany = shown.getSize();
        while (tooMany - kept > 1) {
            const std::size_t middle = (kept + tooMany) / 2;
            if (fits(shown.substring(0, middle) + "...")) {
                kept = middle;
            } else {
                tooMany = middle;
            }
        }
        shown = shown.substring(0, kept) + "...";
    }
    message.text.setString(shown);
    const sf::Font& font = *message.text.getFont();
    const float height = font.getLineSpacing(message.text.getCharacterSize()) / scale;
    message.back.setSize({boardSize, height + 2 * lineMargin});
    const float top = bottom - message.back.getSize().y;
    message.back.setPosition(0.f, top);
    message.text.setPosition(std::round(lineMargin * scale) / scale,
                             std::round((top + lineMargin) * scale) / scale);
    return top;
}

void Messages::draw(sf::RenderTarget& target) const {
    for (const Message* message : {&failure, &restored, &notice}) {
        if (!message->utf8.empty()) {
            target.draw(message->back);
            target.draw(message->text);
        }
    }
}
