#pragma once

#include <filesystem>
#include <optional>
#include <string>

// `path` in the working folder, through a temporary file beside it, flushed, then renamed
// over it: a crash or a power cut leaves the old or the new file, whole, with `like`'s mode.
bool writeFileAtomically(std::filesystem::path path, const std::string& bytes,
                         std::filesystem::path like, std::string& problem,
                         std::optional<std::filesystem::file_time_type> modified = std::nullopt);

// Those that writes to `path` cut off midway (a crash, a kill) left.
void removeLeftoverTemporaryFiles(const std::filesystem::path& path);

// Absolute when it can be made so.
std::string shownPath(const std::filesystem::path& path);
