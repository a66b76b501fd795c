#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

// Whole file operations through each system's own calls. On failure
// `problem` ends with the system's reason, in the player's language.

int processId();

// Writes `bytes` to a new file at `path` and flushes them to the disk. The
// file has the mode (on Windows the attributes) of the regular file `like`
// from its first byte. `shown` names it in `problem`; on failure it is gone.
bool writeNewFile(const std::filesystem::path& path, const std::string& bytes,
                  const std::filesystem::path& like, const std::string& shown,
                  std::string& problem);

// Others may go on reading, writing, even replacing the file meanwhile.
bool readFileBytes(const std::filesystem::path& path, std::string& bytes, std::string& problem);

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::string& problem);

enum class Moved { done, taken, failed };

// Never over anything at `to`, not even what appeared there a moment before:
// `taken` then, with both left as they were. A folder moves too.
Moved moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
               std::string& problem);

void removeFile(const std::filesystem::path& path);

// Makes a rename in `folder` durable, where the system can.
void syncFolder(const std::filesystem::path& folder);

// Windows errors (GetLastError) of another program holding the file for a
// moment (an indexer, a virus scanner, a sync client): sharing and lock
// violations, and access denied, also given for a file being deleted.
bool readOrMoveMayWorkLater(unsigned long windowsError);

// Access denied is not among these: nobody else holds a name just made up,
// so it is the folder's permissions or Controlled Folder Access, for good.
bool createMayWorkLater(unsigned long windowsError);

// Runs `attempt` (0 on success, else its error) again after each `pause`
// while `mayWorkLater` allows its error, until 2 s have passed by
// `milliseconds`. Returns the last attempt's result.
unsigned long retriedWhileHeld(bool (*mayWorkLater)(unsigned long),
                               const std::function<unsigned long()>& attempt,
                               const std::function<std::uint64_t()>& milliseconds,
                               const std::function<void()>& pause);

// Read-only, hidden, system and not-indexed: what a player or another
// program gave the file, which a save keeps.
unsigned long attributesKeptAcrossSave(unsigned long windowsAttributes);
