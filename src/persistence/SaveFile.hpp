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

// Writes the board to save.json at once, on the caller's thread, crash-safely.
// A failed save leaves the previous file as it was and says so on stderr. The
// game saves through Saving, on a writer thread; tests and benchmarks call this.
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
    // When save.json was not a board (or was missing beside a backup): the
    // line that tells the player what replaced it, the backup's board or a
    // new one, and where the files that were no board were kept. Empty
    // otherwise.
    std::string told;
};

// Throws UnreadableSaveFile when save.json, or the save.json.bak that would
// replace it, exists but cannot be examined, opened or read. Writes nothing.
void requireReadableSave();

// Replaces the board with the one the save files hold. Each pair of their
// states has one answer:
// - save.json is a board: it is the board (`backup` is its copy to keep);
// - save.json or save.json.bak, when save.json is not a board, cannot be
//   read: throws UnreadableSaveFile, and nothing moves;
// - save.json is missing or not a board, and save.json.bak is a board: the
//   backup's board comes back, and is written as save.json;
// - save.json is missing or not a board, and so is save.json.bak: the board
//   stays as it came (a new one), and each file that is there is moved
//   aside (as save.json.unusable-N, save.json.bak.unusable-N), so that no
//   save replaces it;
// - both are missing: the board stays, silently (the first start).
// Whenever the board is replaced, stderr says so in one line and `told`
// holds the window's line. Boxes saved wholly or partly off the board are
// moved to the nearest place on it. Throws UnusableSaveFile when a file
// cannot be kept aside or the backup's board cannot be written back.
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
