#pragma once

#include <filesystem>
#include <map>
#include <string>

// `sentence` in the player's language, from the game's catalogue; the English
// sentence itself where the catalogue has none. Names for what varies are
// written as places, {file} or {amount}, which fill() fills in.
std::string tr(const char* sentence);

// `sentence` with each {name} given in `places` replaced by its value; a place
// not given stays as written, and a value is never searched for places.
std::string fill(const std::string& sentence, const std::map<std::string, std::string>& places);

// The folder of catalogues beside a game in `executableFolder`: locale/ there,
// as a build and the Windows zip have it, else the system's share/locale two
// folders up, as the Debian package has it (lib/tangleroot/tangleroot).
std::filesystem::path catalogueFolder(const std::filesystem::path& executableFolder);

// The gettext language for a Windows locale name, such as "de-DE" -> "de_DE"
// or "zh-Hans-CN" -> "zh_CN".
std::string gettextLanguage(const std::string& windowsLocaleName);

// Makes tr() read the game's catalogues, in UTF-8. The language is the one
// the environment names (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), as gettext
// reads them once useSystemLanguage() has set the messages' locale; on Windows,
// without LANGUAGE, the user's display language.
void useGameCatalogue();

void useCatalogueFolder(const std::filesystem::path& folder);
