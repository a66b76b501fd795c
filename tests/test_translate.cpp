#include "support.hpp"
#include "system/Translate.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

namespace {

// A sentence of the menu entry, in every catalogue.
const char* const genericName = "Idle and merge game";

// `sentence` as tr() gives it with LANGUAGE=`language`, looked up in a process
// of its own: the C library keeps a translation once found, whatever LANGUAGE
// says after.
std::string translatedIn(const char* language, const char* sentence) {
    int channel[2];
    if (pipe(channel) != 0) {
        throw std::runtime_error("no pipe");
    }
    const pid_t child = fork();
    if (child == 0) {
        setenv("LANGUAGE", language, 1);
        // gettext ignores LANGUAGE in the plain C locale, not in its UTF-8 twin
        std::setlocale(LC_MESSAGES, "C.UTF-8");
        useCatalogueFolder(TANGLEROOT_LOCALE);
        const std::string translated = tr(sentence);
        const bool written = write(channel[1], translated.data(), translated.size()) ==
                             static_cast<ssize_t>(translated.size());
        _exit(written ? 0 : 1);
    }
    close(channel[1]);
    std::string translated;
    char buffer[256];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;) {
        translated.append(buffer, static_cast<std::size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return translated;
}

} // namespace

TEST(Translate, NamedPlacesAreFilledWhereTheTranslationPutsThem) {
    struct Case {
        const char* sentence;
        std::map<std::string, std::string> places;
        const char* filled;
    };
    const Case cases[] = {
        {"Money: {amount}", {{"amount", "1234"}}, "Money: 1234"},
        // German and Japanese put the reason before the file
        {"{file} cannot be used ({reason})",
         {{"file", "save.json"}, {"reason", "Permission denied"}},
         "save.json cannot be used (Permission denied)"},
        {"({reason}) {file} をつかえません",
         {{"file", "save.json"}, {"reason", "アクセスが拒否されました"}},
         "(アクセスが拒否されました) save.json をつかえません"},
        {"{file} is kept as {file}.bak",
         {{"file", "save.json"}},
         "save.json is kept as save.json.bak"},
        // A place the code does not fill stays as the translator wrote it
        {"Saved at {time} {when}", {{"time", "12:00"}}, "Saved at 12:00 {when}"},
        {"{amount", {{"amount", "5"}}, "{amount"},
        {"{} {amount}", {{"amount", "5"}}, "{} 5"},
        {"{{amount}}", {{"amount", "5"}}, "{5}"},
        // A file named like a place is the file's name, not a place
        {"{file}: {reason}",
         {{"file", "{reason}.json"}, {"reason", "gone"}},
         "{reason}.json: gone"},
        {"Tangleroot", {}, "Tangleroot"},
        {"", {{"file", "save.json"}}, ""},
    };
    for (const Case& each : cases) {
        EXPECT_EQ(fill(each.sentence, each.places), each.filled) << each.sentence;
    }
}

TEST(Translate, WindowsDisplayLanguagesNameGettextsCatalogues) {
    const std::pair<const char*, const char*> cases[] = {
        {"de-DE", "de_DE"},
        {"fr-FR", "fr_FR"},
        {"pt-BR", "pt_BR"},
        {"ja-JP", "ja_JP"},
        {"ar-EG", "ar_EG"},
        {"ru", "ru"},
        {"zh-CN", "zh_CN"},
        // Windows 10 and later name the script of Chinese
        {"zh-Hans-CN", "zh_CN"},
        {"zh-Hans", "zh_CN"},
        {"zh-Hant-TW", "zh_TW"},
        {"zh-Hant-HK", "zh_HK"},
        {"sr-Latn-RS", "sr_RS@latin"},
        {"sr-Cyrl-RS", "sr_RS@cyrillic"},
        {"es-419", "es_419"},
        {"de-DE_phoneb", "de_DE"},
    };
    for (const auto& [windows, gettext] : cases) {
        EXPECT_EQ(gettextLanguage(windows), gettext) << windows;
    }
}

TEST(Translate, TheCataloguesAreBesideABuildOrInTheSystemsShareFolder) {
    const ScratchFolder scratch;
    std::filesystem::create_directories(scratch.path / "build" / "locale" / "de");
    std::filesystem::create_directories(scratch.path / "usr" / "lib" / "tangleroot");
    std::filesystem::create_directories(scratch.path / "odd" / "lib" / "tangleroot");
    writeFile(scratch.path / "odd" / "lib" / "tangleroot" / "locale", "not a folder");
    const std::pair<std::filesystem::path, std::filesystem::path> cases[] = {
        {scratch.path / "build", scratch.path / "build" / "locale"},
        {scratch.path / "usr" / "lib" / "tangleroot", scratch.path / "usr" / "share" / "locale"},
        {scratch.path / "odd" / "lib" / "tangleroot", scratch.path / "odd" / "share" / "locale"},
    };
    for (const auto& [executableFolder, catalogues] : cases) {
        EXPECT_EQ(catalogueFolder(executableFolder), catalogues) << executableFolder;
    }
}

TEST(Translate, EveryLanguageFindsItsBuiltCatalogue) {
    EXPECT_EQ(translatedIn("de", genericName), "Idle- und Merge-Spiel");
    for (const char* language : {"fr", "es", "pt_BR", "ru", "zh_CN", "ja", "ar"}) {
        const std::string translated = translatedIn(language, genericName);
        EXPECT_FALSE(translated.empty()) << language;
        EXPECT_NE(translated, genericName) << language;
    }
    // A regional variant falls back to its language's catalogue
    EXPECT_EQ(translatedIn("de_AT", genericName), "Idle- und Merge-Spiel");
    EXPECT_EQ(translatedIn("en", genericName), genericName);
    EXPECT_EQ(translatedIn("de", "A sentence no catalogue has"), "A sentence no catalogue has");
    // The empty sentence is not the catalogue's header
    EXPECT_EQ(translatedIn("de", ""), "");
}
