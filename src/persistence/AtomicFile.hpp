#pragma once

#include <filesystem>
#include <optional>
#include <string>

// Replaces the file at `path` with `bytes` so that, whatever happens meanwhile
// (a crash, a kill, a power cut), the path holds either the old file or the new
// one, whole: the bytes go to a temporary file in the same folder, are flushed
// to the disk, and the temporary file is renamed over `path`.
// On failure the old file is left as it was, the temporary file is removed,
// and `problem` says what went wrong.
// With `modified`, the new file carries that modification time from the
// moment it has its name. The path is taken by value: a write left stuck on
// a disk that hangs may end after the game has.
bool writeFileAtomically(std::filesystem::path path, const std::string& bytes,
                         std::string& problem,
                         std::optional<std::filesystem::file_time_type> modified = std::nullopt);

// Removes the temporary files that writes to `path` cut off midway (a crash,
// a kill) left beside it.
void removeLeftoverTemporaryFiles(const std::filesystem::path& path);

// Reads the whole file at `path` into `bytes`. On failure `problem` says
// which step failed and the system's reason ("cannot be opened: Accès refusé").
bool readWholeFileBytes(const std::filesystem::path& path, std::string& bytes,
                        std::string& problem);

// The path as a player reads it in a message: absolute when it can be made so.
std::string where(const std::filesystem::path& path);

enum class Moved { done, taken, failed };

// Moves the file (or folder) at `from` to `to` in one step, never over
// anything already at `to`: `taken` then, with both left as they were, even
// when `to` appeared only a moment before. Another program holding the file
// for a moment gets as long as a replace gives it. On `failed`, `problem` is
// the system's reason ("Accès refusé").
Moved moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
               std::string& problem);
