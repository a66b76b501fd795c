#pragma once

#include <filesystem>
#include <map>
#include <string>

// `sentence` in the player's language, or the English itself where the catalogue has none.
// What varies is written as places, {file} or {amount}, which fill() fills in.
std::string tr(const char* sentence);

// `sentence` with each {name} given in `places` replaced by its value; a place
// not given stays as written, and a value is never searched for places.
std::string fill(const std::string& sentence, const std::map<std::string, std::string>& places);

// locale/ beside the game, as a build and the Windows zip have it, else share/locale two
// folders up, as the Debian package has it (lib/tangleroot/tangleroot).
std::filesystem::path catalogueFolder(const std::filesystem::path& executableFolder);

// For a Windows locale name: "de-DE" -> "de_DE", "zh-Hans-CN" -> "zh_CN".
std::string gettextLanguage(const std::string& windowsLocaleName);

// Makes tr() read the game's catalogues, in UTF-8, in the language gettext finds once
// useSystemLanguage() has set the messages' locale; on Windows, without LANGUAGE, the display one.
void useGameCatalogue();

void useCatalogueFolder(const std::filesystem::path& folder);
