#pragma once

#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "persistence/BoardJson.hpp"

#include <filesystem>
#include <stdexcept>
#include <vector>

// Where the board is kept, relative to the working folder.
inline const std::filesystem::path saveFilePath = "save.json";

// Writes the board to save.json. A failed save leaves the previous file as it
// was and says so on stderr; the game carries on.
void save(std::vector<Spider> spiders, std::vector<Box> boxes, int money);

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
