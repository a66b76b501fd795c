#include "system/Translate.hpp"

#include <libintl.h>

void useCatalogueFolder(const std::filesystem::path& folder) {
    bindtextdomain("tangleroot", folder.c_str());
    bind_textdomain_codeset("tangleroot", "UTF-8");
}

void useGameCatalogue() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    useCatalogueFolder(catalogueFolder(executable.parent_path()));
}
