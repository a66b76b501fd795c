#include "system/Translate.hpp"

#include <libintl.h>

#include <sstream>

std::string tr(const char* sentence) {
    // The empty msgid is the catalogue's header
    return *sentence == '\0' ? std::string() : std::string(dgettext("tangleroot", sentence));
}

std::string fill(const std::string& sentence, const std::map<std::string, std::string>& places) {
    std::string filled;
    std::size_t from = 0;
    for (std::size_t open = sentence.find('{'); open != std::string::npos;
         open = sentence.find('{', open + 1)) {
        const std::size_t close = sentence.find('}', open);
        if (close == std::string::npos) {
            break;
        }
        const auto place = places.find(sentence.substr(open + 1, close - open - 1));
        if (place != places.end()) {
            filled.append(sentence, from, open - from).append(place->second);
            from = close + 1;
            open = close;
        }
    }
    return filled.append(sentence, from, std::string::npos);
}

std::filesystem::path catalogueFolder(const std::filesystem::path& executableFolder) {
    std::error_code error;
    const std::filesystem::path beside = executableFolder / "locale";
    return std::filesystem::is_directory(beside, error)
               ? beside
               : (executableFolder / ".." / ".." / "share" / "locale").lexically_normal();
}

std::string gettextLanguage(const std::string& windowsLocaleName) {
    // "de-DE_phoneb" names a sort order too, which a language does not have
    std::istringstream parts(windowsLocaleName.substr(0, windowsLocaleName.find('_')));
    std::string language;
    std::getline(parts, language, '-');
    std::string region;
    std::string modifier;
    for (std::string part; std::getline(parts, part, '-');) {
        // gettext names Serbian's scripts as a modifier, Chinese ones by the region writing them
        if (part == "Latn" || part == "Cyrl") {
            modifier = part == "Latn" ? "@latin" : "@cyrillic";
        } else if (part == "Hans" || part == "Hant") {
            region = part == "Hans" ? "_CN" : "_TW";
        } else {
            region = "_" + part;
        }
    }
    return language + region + modifier;
}
