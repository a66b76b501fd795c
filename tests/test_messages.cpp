// What the window says over the board: notices broken into lines, and the
// line saying that saves fail.
#include "game/Messages.hpp"
#include "game/Pacing.hpp"
#include "platform/Console.hpp"
#include "support.hpp"

#include <SFML/Graphics/RenderTexture.hpp>

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <system_error>

namespace {

const char* const fontFile = TANGLEROOT_ASSETS "/fonts/roboto.ttf";

// Widths as the window measures them, at 20 pixels.
WidthOf widthsAt20() {
    const auto engine = std::make_shared<TextEngine>(fontFile, "Roboto");
    return [engine](const sf::String& line) {
        return static_cast<float>(engine->width(encodedUtf8(line), 20));
    };
}

} // namespace

TEST(Notice, LongLinesAreBrokenToFitAndNothingIsLost) {
    const WidthOf measure = widthsAt20();
    const std::string notice = "The board was not saved:\ncannot create /home/player/" +
                               std::string(120, 'x') +
                               "/save.json.tmp-1-0: No space left on "
                               "device, so it was kept as it was\n\nClose.";
    const auto letters = [](std::string text) {
        text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return std::isspace(c); }),
                   text.end());
        return text;
    };
    // After a break at a space, what is left and the next letter may be
    // wider than the line was: a narrow word, then a wide one.
    const std::pair<std::string, float> cases[] = {
        {notice, 300.f},
        {"i WWWW", measure("i WWW")},
        {"ab\nl. MMMMMMM and more", measure("l. MMMMMM")},
        {"WWWW", measure("W")}, // one letter a line
    };
    for (const auto& [text, width] : cases) {
        const std::string wrapped = wrapToWidth(text, measure, width).toAnsiString();
        std::istringstream lines(wrapped);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(measure(line), width) << text << ": " << line;
        }
        EXPECT_EQ(letters(wrapped), letters(text));
        EXPECT_TRUE(text != notice || std::count(wrapped.begin(), wrapped.end(), '\n') > 6);
    }

    // Between letters, never inside one, in every language.
    const auto wrappedAt = [&](const std::string& utf8, const std::string& first,
                               const std::string& second) {
        const float width = std::max(measure(decoded(first)), measure(decoded(second)));
        return utf8Of(wrapToWidth(decoded(utf8), measure, width));
    };
    EXPECT_EQ(wrappedAt("Accès refusé", "Accès", "refusé"), "Accès\nrefusé");
    EXPECT_EQ(wrappedAt("Отказано в доступе", "Отказано в", "доступе"), "Отказано в\nдоступе");
    EXPECT_EQ(wrappedAt("数据保存失败", "数据保存", "失败"), "数据保存\n失败");
}

TEST(Text, IllFormedUtf8BecomesOneReplacementPerBadSequenceAndKeepsWhatFollows) {
    struct Case {
        const char* name;
        std::string bytes;
        std::u32string letters;
    };
    const Case cases[] = {
        {"well formed", "a\xC3\xA9\xE8\xAE\xBF\xF0\x9F\x95\xB7", U"a\u00E9\u8BBF\U0001F577"},
        {"stray continuation", "a\x80\x62", U"a\uFFFDb"},
        {"lead followed by letters", "a\xC3\x62\x63", U"a\uFFFDbc"},
        {"cut off at the end", "ab\xE8\xAE", U"ab\uFFFD"},
        {"overlong", "\xC0\xAF\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"surrogate", "\xED\xA0\x80\x61", U"\uFFFD\uFFFD\uFFFDa"},
        {"last below the surrogates", "\xED\x9F\xBF", U"\uD7FF"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"U+10FFFF itself", "\xF4\x8F\xBF\xBF", U"\U0010FFFF"},
        {"F5 to FF leads", "\xF5\xF8\x88\xFF\x61", U"\uFFFD\uFFFD\uFFFD\uFFFDa"},
    };
    for (const Case& c : cases) {
        const std::basic_string<sf::Uint32> letters = decodedUtf8(c.bytes).toUtf32();
        EXPECT_EQ(std::u32string(letters.begin(), letters.end()), c.letters) << c.name;
    }
}

TEST(SavingMessages, EveryLanguageIsDrawnLetterByLetterAndALongLineIsCutBetweenLetters) {
    EXPECT_NE(sceneSignature({}, {}, 0, "ab", "c"), sceneSignature({}, {}, 0, "a", "bc"));
    EXPECT_NE(sceneSignature({}, {}, 0, "", "", "back"), sceneSignature({}, {}, 0, "", ""));
    const sf::Font font = gameFont();
    Messages messages(font, fontFile);
    for (const std::string reason : {"Accès refusé", "Отказано в доступе", "数据保存失败"}) {
        const std::string notice = "The board was not saved:\ncannot replace save.json: " + reason +
                                   "\n\nClose the window again to quit without saving.";
        messages.show(notice, "", "", 1.f);
        EXPECT_EQ(utf8Of(messages.noticeShown()), notice);
        messages.show(notice, "The board is not being saved: " + reason, "", 1.f);
        EXPECT_EQ(utf8Of(messages.failureLineShown()), "The board is not being saved: " + reason);
    }
    messages.show("", "The board is not being saved: two\r\nlines", "", 1.f);
    EXPECT_EQ(messages.failureLineShown(), "The board is not being saved: two  lines");
    messages.show("", "", "", 1.f); // a save that worked
    EXPECT_EQ(messages.failureLineShown(), "");

    // Wrapped into two lines and cut with "..." to fit them, at 100% as at 200%.
    std::string line = "The board is not being saved:";
    for (int i = 0; i < 40; ++i) {
        line += " Отказано в доступе";
    }
    for (const float scale : {1.f, 2.f}) {
        messages.show("", line, "", scale);
        const sf::String lines = messages.failureLineShown();
        const std::size_t lineBreak = lines.find("\n");
        ASSERT_NE(lineBreak, sf::String::InvalidPos);
        const sf::String second = lines.substring(lineBreak + 1);
        const std::string shown = utf8Of(lines.substring(0, lineBreak) + " " + second);
        ASSERT_GT(shown.size(), 3u);
        EXPECT_EQ(shown.substr(shown.size() - 3), "...");
        EXPECT_EQ(line.rfind(shown.substr(0, shown.size() - 3), 0), 0u) << shown;
        const auto width = [&](const sf::String& letters) {
            return messages.engine().width(encodedUtf8(letters), static_cast<unsigned>(14 * scale));
        };
        EXPECT_LE(width(lines.substring(0, lineBreak)), 794 * scale) << shown;
        EXPECT_LE(width(second), 794 * scale) << shown;
        const std::size_t kept = lines.getSize() - 3;
        EXPECT_GT(width(decoded(line).substring(lineBreak + 1, kept - lineBreak) + "..."),
                  794 * scale)
            << "cut too short: " << shown;
    }

    // The line stays at the bottom, the restored board's above it.
    sf::RenderTexture picture;
    ASSERT_TRUE(picture.create(800, 800));
    const sf::Color grey(128, 128, 128);
    picture.clear(grey);
    messages.show("", line, "save.json could not be read; the board saved at 10:00 is back", 1.f);
    messages.draw(picture);
    picture.display();
    const sf::Image shown = picture.getTexture().copyToImage();
    EXPECT_GT(shown.getPixel(400, 797).r, shown.getPixel(400, 797).g) << "no strip";
    EXPECT_GT(shown.getPixel(400, 745).r, shown.getPixel(400, 745).g) << "no restored line";
    EXPECT_EQ(shown.getPixel(400, 700), grey);
}

TEST(Text, TheSystemsReasonsComeInThePlayersLanguageAsUtf8) {
    // The German locale, made for this test alone when the system has none
    const ScratchFolder locales;
    if (std::system("env -u LD_PRELOAD localedef -i de_DE -f UTF-8 ./de_DE.UTF-8 2>/dev/null") !=
        0) {
        GTEST_SKIP() << "German needs Debian's locales package";
    }
    setenv("LOCPATH", locales.path.c_str(), 1);
    setenv("LANG", "de_DE.UTF-8", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    useSystemLanguage();
    EXPECT_EQ(std::system_category().message(ENOSPC),
              "Auf dem Gerät ist kein Speicherplatz mehr verfügbar");
    EXPECT_EQ(std::to_string(1.5), "1.500000") << "numbers stay as they were";
    // English again for the tests after this one in the same process
    unsetenv("LOCPATH");
    unsetenv("LANG");
    std::setlocale(LC_MESSAGES, "C");
}

namespace {

// Whether the ink of `picture` is a hollow rectangle, as the box drawn for a
// letter that no font has: full rows at its top and bottom, a row across its
// middle mostly empty (where a thin stroke or a dot is full).
bool boxed(const TextPicture& picture) {
    std::vector<unsigned> rows;
    unsigned left = picture.width;
    unsigned right = 0;
    for (unsigned y = 0; y < picture.height; ++y) {
        unsigned ink = 0;
        for (unsigned x = 0; x < picture.width; ++x) {
            if (picture.alpha[static_cast<std::size_t>(y) * picture.width + x] >= 128) {
                ++ink;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (ink > 0 || !rows.empty()) {
            rows.push_back(ink);
        }
    }
    while (!rows.empty() && rows.back() == 0) {
        rows.pop_back();
    }
    const unsigned width = right >= left ? right - left + 1 : 0;
    return rows.size() > 2 && width > 2 && rows.front() * 10 >= width * 9 &&
           rows.back() * 10 >= width * 9 && rows[rows.size() / 2] * 2 <= width;
}

std::size_t inkOf(const TextPicture& picture) {
    return static_cast<std::size_t>(std::count_if(picture.alpha.begin(), picture.alpha.end(),
                                                  [](std::uint8_t a) { return a >= 128; }));
}

} // namespace

TEST(SavingMessages, ChineseAndArabicReasonsAreDrawnInFontsThatHaveTheirLetters) {
    const sf::Font font = gameFont();
    Messages messages(font, fontFile);
    const TextEngine& engine = messages.engine();
    ASSERT_TRUE(boxed(engine.draw("\xCD\xB8", 40))) << "a letter no font has (U+0378) is a box";
    for (const std::string reason : {"访问被拒绝。", "تم رفض الوصول", "הגישה נדחתה"}) {
        messages.show("The board was not saved:\ncannot replace save.json: " + reason, "", "", 1.f);
        EXPECT_GT(inkOf(engine.draw(encodedUtf8(messages.noticeShown()), 20)), 0u);
        for (const sf::Uint32 letter : decodedUtf8(reason).toUtf32()) {
            const TextPicture drawn = engine.draw(encodedUtf8(sf::String(letter)), 40);
            if (letter != ' ' && letter != U'。') {
                EXPECT_GT(inkOf(drawn), 0u) << reason;
                EXPECT_FALSE(boxed(drawn)) << std::hex << "U+" << letter << " is a box";
            }
        }
    }
}
