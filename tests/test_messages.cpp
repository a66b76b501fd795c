#include "game/Messages.hpp"
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

// Whether the ink of `picture` is a hollow rectangle, as the box drawn for a
// letter that no font has: full rows at its top and bottom, a row across its
// middle mostly empty (where a thin stroke or a dot is full).
bool boxed(const TextPicture& picture) {
    std::vector<unsigned> rows(picture.height); // the ink of each row
    unsigned left = picture.width, right = 0;
    for (std::size_t i = 0; i < picture.alpha.size(); ++i) {
        if (picture.alpha[i] >= 128) {
            const unsigned x = static_cast<unsigned>(i % picture.width);
            ++rows[i / picture.width];
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    const auto inked = [](unsigned ink) { return ink > 0; };
    const auto top = std::find_if(rows.begin(), rows.end(), inked);
    const auto bottom = std::find_if(rows.rbegin(), rows.rend(), inked).base(); // past the last
    const unsigned width = right >= left ? right - left + 1 : 0;
    return bottom - top > 2 && width > 2 && *top * 10 >= width * 9 &&
           bottom[-1] * 10 >= width * 9 && top[(bottom - top) / 2] * 2 <= width;
}

std::size_t inkOf(const TextPicture& picture) {
    return static_cast<std::size_t>(std::count_if(picture.alpha.begin(), picture.alpha.end(),
                                                  [](std::uint8_t a) { return a >= 128; }));
}

} // namespace

TEST(Notice, LongLinesAreBrokenToFitAndNothingIsLost) {
    const TextEngine engine(fontFile, "Roboto");
    const WidthOf measure = [&engine](const sf::String& line) { // as the window measures, at 20
        return static_cast<float>(engine.width(encodedUtf8(line), 20));
    };
    const auto widest = [&](const char* first, const char* second) {
        return std::max(measure(decoded(first)), measure(decoded(second)));
    };
    const std::string notice = "The board was not saved:\ncannot create /home/player/" +
                               std::string(120, 'x') +
                               "/save.json.tmp-1-0: No space left on "
                               "device, so it was kept as it was\n\nClose.";
    const auto letters = [](std::string text) {
        text.erase(std::remove_if(text.begin(), text.end(),
                                  [](unsigned char c) { return std::isspace(c); }),
                   text.end());
        return text;
    };
    // After a break at a space, what is left and the next letter may be
    // wider than the line was: a narrow word, then a wide one. Breaks fall
    // between letters, never inside one, in every language.
    const std::tuple<std::string, float, std::string> cases[] = {
        {notice, 300.f, ""},
        {"i WWWW", measure("i WWW"), ""},
        {"ab\nl. MMMMMMM and more", measure("l. MMMMMM"), ""},
        {"WWWW", measure("W"), "W\nW\nW\nW"},
        {"a" + std::string(60, ' ') + "b", measure("a     "), ""}, // spaces are measured too
        {"ab cd   ef", measure("ab cd"), "ab cd\n  ef"},           // the space at the break goes
        {"Accès refusé", widest("Accès", "refusé"), "Accès\nrefusé"},
        {"Отказано в доступе", widest("Отказано в", "доступе"), "Отказано в\nдоступе"},
        {"数据保存失败", widest("数据保存", "失败"), "数据保存\n失败"},
    };
    for (const auto& [text, width, expected] : cases) {
        const std::string wrapped = utf8Of(wrapToWidth(decoded(text), measure, width));
        std::istringstream lines(wrapped);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(measure(decoded(line)), width) << text << ": " << line;
        }
        EXPECT_EQ(letters(wrapped), letters(text));
        EXPECT_TRUE(expected.empty() || wrapped == expected) << wrapped;
        EXPECT_TRUE(text != notice || std::count(wrapped.begin(), wrapped.end(), '\n') > 6);
    }
}

TEST(Text, IllFormedUtf8BecomesOneReplacementPerBadSequenceAndKeepsWhatFollows) {
    const std::pair<std::string, std::u32string> cases[] = {
        {"a\xC3\xA9\xE8\xAE\xBF\xF0\x9F\x95\xB7", U"a\u00E9\u8BBF\U0001F577"}, // well formed
        {"a\x80\x62", U"a\uFFFDb"},                                  // a stray continuation
        {"a\xC3\x62\x63", U"a\uFFFDbc"},                             // a lead followed by letters
        {"ab\xE8\xAE", U"ab\uFFFD"},                                 // cut off at the end
        {"\xC0\xAF\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"}, // overlong
        {"\xF0\x8F\xBF\xBF", U"\uFFFD\uFFFD\uFFFD\uFFFD"},           // overlong in four bytes
        {"\xED\xA0\x80\x61", U"\uFFFD\uFFFD\uFFFDa"},                // a surrogate
        {"\xED\x9F\xBF", U"\uD7FF"},                            // the last below the surrogates
        {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},      // past U+10FFFF
        {"\xF4\x8F\xBF\xBF", U"\U0010FFFF"},                    // U+10FFFF itself
        {"\xF5\xF8\x88\xFF\x61", U"\uFFFD\uFFFD\uFFFD\uFFFDa"}, // F5 to FF leads
    };
    for (const auto& [bytes, expected] : cases) {
        const std::basic_string<sf::Uint32> letters = decodedUtf8(bytes).toUtf32();
        EXPECT_EQ(std::u32string(letters.begin(), letters.end()), expected)
            << ::testing::PrintToString(bytes);
    }
}

TEST(SavingMessages, EveryLanguageIsDrawnLetterByLetterAndALongLineIsCutBetweenLetters) {
    const sf::Font font = gameFont();
    Messages messages(font, fontFile);
    const auto shown = [&](const std::string& notice, const std::string& failure,
                           const std::string& restored) {
        messages.show(notice, failure, restored, 1.f);
        Picture picture;
        messages.addTo(picture);
        return picture;
    };
    EXPECT_NE(shown("ab", "c", "").signature(), shown("a", "bc", "").signature());
    EXPECT_NE(shown("", "", "back").signature(), shown("", "", "").signature());
    const TextEngine& engine = messages.engine();
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
            return engine.width(encodedUtf8(letters), static_cast<unsigned>(14 * scale));
        };
        EXPECT_LE(width(lines.substring(0, lineBreak)), 794 * scale) << shown;
        EXPECT_LE(width(second), 794 * scale) << shown;
        const std::size_t kept = lines.getSize() - 3;
        EXPECT_GT(width(decoded(line).substring(lineBreak + 1, kept - lineBreak) + "..."),
                  794 * scale)
            << "cut too short: " << shown;
    }

    // The notice on a band across the middle, its lines broken 30 from the
    // edge; the line at the bottom, the restored board's above it.
    sf::RenderTexture window;
    ASSERT_TRUE(window.create(800, 800));
    const auto drawn = [&](const std::string& notice, const std::string& restored) {
        shown(notice, notice.empty() ? "" : line, restored).draw(window);
        window.display();
        return window.getTexture().copyToImage();
    };
    EXPECT_EQ(drawn("", "").getPixel(5, 400), sf::Color::White) << "nothing to say, yet drawn";
    const sf::Image image =
        drawn(std::string(300, 'x'), "save.json is not a board (it is not JSON), kept as "
                                     "save.json.unusable-1; the board saved at 10:00 is back");
    EXPECT_NE(image.getPixel(5, 400), sf::Color::White) << "no band";
    EXPECT_GT(image.getPixel(400, 797).r, image.getPixel(400, 797).g) << "no strip";
    EXPECT_GT(image.getPixel(400, 745).r, image.getPixel(400, 745).g) << "no restored line";
    EXPECT_EQ(image.getPixel(400, 700), sf::Color::White);
    int ink[2] = {0, 0}; // before the notice's margin, in it
    for (unsigned x = 745; x < 800; ++x) {
        for (unsigned y = 370; y < 430; ++y) {
            ink[x < 770 ? 0 : 1] += image.getPixel(x, y).g > 150;
        }
    }
    EXPECT_TRUE(ink[0] > 0 && ink[1] == 0) << "the line was not broken at the margin";

    // Each reason whole, and each of its letters in a font that has it.
    ASSERT_TRUE(boxed(engine.draw("\xCD\xB8", 40))) << "a letter no font has (U+0378) is a box";
    const TextPicture overWide = engine.draw(std::string(3000, 'W'), 40); // past Cairo's 32,767
    EXPECT_TRUE(overWide.width == 0 && overWide.alpha.empty()) << overWide.width;
    for (const std::string reason : {"Accès refusé", "Отказано в доступе", "数据保存失败",
                                     "访问被拒绝。", "تم رفض الوصول", "הגישה נדחתה"}) {
        const std::string notice = "The board was not saved:\ncannot replace save.json: " + reason +
                                   "\n\nClose the window again to quit without saving.";
        messages.show(notice, "The board is not being saved: " + reason, "", 1.f);
        EXPECT_EQ(utf8Of(messages.noticeShown()), notice);
        EXPECT_EQ(utf8Of(messages.failureLineShown()), "The board is not being saved: " + reason);
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
