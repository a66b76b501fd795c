#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

// Each system's own calls; `problem` ends with the system's reason, in the player's language.

int processId();

// Flushed, with the mode (Windows: attributes) of the regular file `like`
// from the first byte; removed on failure.
bool writeNewFile(const std::filesystem::path& path, const std::string& bytes,
                  const std::filesystem::path& like, const std::string& shown,
                  std::string& problem);

// Others may go on reading, writing, even replacing the file meanwhile.
bool readFileBytes(const std::filesystem::path& path, std::string& bytes, std::string& problem);

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::string& problem);

enum class Moved { done, taken, failed };

// Never over what is at `to`, even what appeared a moment before; a folder moves too.
Moved moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
               std::string& problem);

void syncFolder();

// Errors from another program holding the file a moment (an indexer, a virus
// scanner, a sync client); access denied is also given for a file being deleted.
bool readOrMoveMayWorkLater(unsigned long windowsError);

// Without access denied: nobody holds a name just made up, so that is the
// folder's permissions or Controlled Folder Access, for good.
bool createMayWorkLater(unsigned long windowsError);

// `attempt` gives 0 on success, else its error.
unsigned long retriedWhileHeld(bool (*mayWorkLater)(unsigned long),
                               const std::function<unsigned long()>& attempt,
                               const std::function<std::uint64_t()>& milliseconds,
                               const std::function<void()>& pause);

// Read-only, hidden, system, not-indexed: what a player or a program gave the file.
unsigned long attributesKeptAcrossSave(unsigned long windowsAttributes);
