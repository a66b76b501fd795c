#include "system/Translate.hpp"

#include <libintl.h>
#include <windows.h>

#include <cstdlib>

void useCatalogueFolder(const std::filesystem::path& folder) {
    wbindtextdomain("tangleroot", folder.c_str());
    bind_textdomain_codeset("tangleroot", "UTF-8");
}

void useGameCatalogue() {
    // libintl reads LANGUAGE, as on Linux; without it, the display language
    // is the player's choice, whatever the format settings say
    const char* language = std::getenv("LANGUAGE");
    wchar_t name[LOCALE_NAME_MAX_LENGTH];
    if ((language == nullptr || *language == '\0') &&
        LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                         LOCALE_NAME_MAX_LENGTH, 0) > 0) {
        // Locale names are ASCII
        _putenv_s("LANGUAGE", gettextLanguage(std::string(name, name + wcslen(name))).c_str());
    }
    wchar_t executable[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, executable, MAX_PATH);
    useCatalogueFolder(
        catalogueFolder(std::filesystem::path(executable, executable + length).parent_path()));
}
