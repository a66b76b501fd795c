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

// Removes the temporary files that a game cut off in the middle of a save left
// beside save.json.
void removeLeftoverTemporaryFiles();

// Replaces the board with the one in save.json, when there is one. A file that
// cannot be used changes nothing: it is moved aside (save.json.unusable-N) so
// that the next save cannot overwrite it, and stderr says so.
// Throws UnusableSaveFile when such a file cannot even be moved aside.
void load(std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money);

class UnusableSaveFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What of the board goes into the file.
SavedBoard savedBoardOf(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                        int money);
