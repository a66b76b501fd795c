#pragma once

#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "persistence/BoardJson.hpp"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

// Where the board is kept, relative to the working folder.
inline const std::filesystem::path saveFilePath = "save.json";
// The last board the game started from cleanly, byte for byte, with the time
// it was saved as the file's modification time.
inline const std::filesystem::path backupFilePath = "save.json.bak";

// Writes the board to save.json. A failed save leaves the previous file as it
// was and says so on stderr; the game carries on.
void save(std::vector<Spider> spiders, std::vector<Box> boxes, int money);

// What stderr says of a save that failed with `problem`, as one line.
std::string notSavedLine(const std::string& problem);

// The board as the bytes save.json holds: a snapshot that can be written later.
std::string boardSnapshot(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                          int money);

// Replaces save.json with `bytes`, crash-safely (see writeFileAtomically).
bool writeSaveFile(const std::string& bytes, std::string& problem);

// Writes `bytes` as save.json.bak, crash-safely, dated `savedAt`.
bool writeBackupFile(const std::string& bytes, std::filesystem::file_time_type savedAt,
                     std::string& problem);

// Removes the temporary files that a game cut off in the middle of a save left
// beside save.json and save.json.bak.
void removeLeftoverTemporaryFiles();

// What load found, beyond the board itself.
struct LoadedSave {
    // The bytes of a save.json that loaded cleanly, and when they were saved:
    // the copy to keep as save.json.bak. Empty otherwise.
    std::string backup;
    std::filesystem::file_time_type savedAt;
    // When save.json was not a board and the board came back from
    // save.json.bak: the line that tells the player so. Empty otherwise.
    std::string restored;
};

// Throws UnreadableSaveFile when save.json, or the save.json.bak that would
// replace it, exists but cannot be examined, opened or read. Writes nothing.
void requireReadableSave();

// Replaces the board with the one in save.json, when there is one. A file that
// is not a board is moved aside (save.json.unusable-N) so that the next save
// cannot overwrite it, the board comes back from save.json.bak when that one
// is a board, and stderr says so in one line. Otherwise the board stays.
// Throws UnreadableSaveFile, moving nothing, when a file cannot be read, and
// UnusableSaveFile when a file that is not a board cannot be moved aside.
LoadedSave load(std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money);

class UnusableSaveFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file the player may not read holds a board that may well be good: it is
// never taken for a broken one.
class UnreadableSaveFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What of the board goes into the file.
SavedBoard savedBoardOf(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                        int money);
