#include "persistence/SaveFile.hpp"

#include "persistence/AtomicFile.hpp"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

enum class Read { missing, ok, notAFile, failed };

// A file that cannot be examined, opened or read is `failed`; one that is not
// a regular file (a folder in its place) is not a board, like bytes that are not.
Read readWholeFile(const fs::path& path, std::string& text, std::string& problem) {
    std::error_code error;
    if (fs::symlink_status(path, error).type() == fs::file_type::not_found) {
        return Read::missing;
    }
    const fs::file_status status = fs::status(path, error);
    if (error) {
        problem = "cannot be examined: " + error.message();
        return Read::failed;
    }
    if (!fs::is_regular_file(status)) {
        problem = "it is not a regular file";
        return Read::notAFile;
    }
    if (!readWholeFileBytes(path, text, problem)) {
        return Read::failed;
    }
    return Read::ok;
}

// One file as it is on the disk, and the board in it when there is one.
struct SaveOnDisk {
    Read read = Read::missing;
    std::string text;
    SavedBoard board;
    std::string problem; // why it is not a board

    bool isBoard() const { return read == Read::ok && problem.empty(); }
};

SaveOnDisk examine(const fs::path& path) {
    SaveOnDisk found;
    found.read = readWholeFile(path, found.text, found.problem);
    if (found.read == Read::failed) {
        throw UnreadableSaveFile(where(path) + " " + found.problem +
                                 "; it is left as it is, as it may hold a good board: start "
                                 "the game once it can be read, or move it away for a new board");
    }
    if (found.read == Read::ok) {
        parseBoard(found.text, found.board, found.problem);
    }
    return found;
}

// save.json, and save.json.bak too when save.json is there but not a board.
void readSaves(SaveOnDisk& save, SaveOnDisk& backup) {
    save = examine(saveFilePath);
    if (save.read != Read::missing && !save.isBoard()) {
        backup = examine(backupFilePath);
    }
}

bool isFree(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() == fs::file_type::not_found;
}

// The first name save.json.unusable-N that is not taken, so no earlier kept
// file is ever replaced.
fs::path freeKeepPath(const fs::path& path) {
    for (int number = 1; number < 100000; ++number) {
        fs::path candidate = path;
        candidate += ".unusable-" + std::to_string(number);
        if (isFree(candidate)) {
            return candidate;
        }
    }
    return {};
}

// Moves the file aside, or copies it there when it must stay in place until
// something replaces it.
fs::path keepAside(const fs::path& path, const std::string& problem, bool copy = false) {
    const fs::path kept = freeKeepPath(path);
    std::error_code error = std::make_error_code(std::errc::file_exists);
    std::string reason; // the system's own, for a move
    if (!kept.empty() && copy) {
        fs::copy_file(path, kept, error);
    } else if (!kept.empty() && moveFile(path, kept, reason)) {
        error.clear();
    }
    if (error) {
        throw UnusableSaveFile(path.u8string() + " cannot be used (" + problem +
                               ") and cannot be moved aside to " + kept.u8string() + " (" +
                               (reason.empty() ? error.message() : reason) +
                               "); not starting, so that it is not overwritten");
    }
    return kept;
}

// The local date and time of a file's modification time, to the minute.
std::string localTime(fs::file_time_type time) {
    using namespace std::chrono;
    const system_clock::time_point then =
        system_clock::now() +
        duration_cast<system_clock::duration>(time - fs::file_time_type::clock::now());
    const std::time_t seconds = system_clock::to_time_t(then);
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr) {
        return "an unknown time";
    }
    std::ostringstream text;
    text << std::put_time(local, "%Y-%m-%d %H:%M");
    return text.str();
}

void place(const SavedBoard& board, std::vector<Spider>& spiders, std::vector<Box>& boxes,
           int& money) {
    std::vector<Spider> loadedSpiders;
    for (const SavedSpider& spider : board.spiders) {
        loadedSpiders.emplace_back(spider.stage, spider.x, spider.y);
    }
    std::vector<Box> loadedBoxes;
    for (const SavedBox& box : board.boxes) {
        loadedBoxes.emplace_back(box.x, box.y);
    }
    spiders = std::move(loadedSpiders);
    boxes = std::move(loadedBoxes);
    money = board.money;
}

} // namespace

SavedBoard savedBoardOf(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                        int money) {
    SavedBoard board;
    for (const Spider& spider : spiders) {
        const sf::Vector2f position = spider.sprite.getPosition();
        board.spiders.push_back({spider.stage, position.x, position.y});
    }
    for (const Box& box : boxes) {
        const sf::Vector2f position = box.sprite.getPosition();
        board.boxes.push_back({position.x, position.y});
    }
    board.money = money;
    return board;
}

std::string boardSnapshot(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                          int money) {
    return boardToJson(savedBoardOf(spiders, boxes, money));
}

bool writeSaveFile(const std::string& bytes, std::string& problem) {
    return writeFileAtomically(saveFilePath, bytes, problem);
}

bool writeBackupFile(const std::string& bytes, fs::file_time_type savedAt, std::string& problem) {
    return writeFileAtomically(backupFilePath, bytes, problem, savedAt);
}

void removeLeftoverTemporaryFiles() {
    removeLeftoverTemporaryFiles(saveFilePath);
    removeLeftoverTemporaryFiles(backupFilePath);
}

std::string notSavedLine(const std::string& problem) {
    return "Tangleroot: the board was not saved (" + problem + "); the previous save is kept";
}

void save(std::vector<Spider> spiders, std::vector<Box> boxes, int money) {
    std::string problem;
    if (!writeSaveFile(boardSnapshot(spiders, boxes, money), problem)) {
        std::cerr << notSavedLine(problem) << "\n";
    }
}

void requireReadableSave() {
    SaveOnDisk save;
    SaveOnDisk backup;
    readSaves(save, backup);
}

LoadedSave load(std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money) {
    SaveOnDisk save;
    SaveOnDisk backup;
    readSaves(save, backup); // before anything moves
    LoadedSave loaded;
    if (save.read == Read::missing) {
        return loaded; // the first start
    }
    if (save.isBoard()) {
        place(save.board, spiders, boxes, money);
        std::error_code error;
        loaded.savedAt = fs::last_write_time(saveFilePath, error);
        if (!error) {
            loaded.backup = std::move(save.text);
        }
        return loaded;
    }

    // With a good backup the broken file is copied aside and the backup written
    // over it: until save.json holds the board again, nothing the next start
    // needs has moved, and a write that fails leaves both files as they were.
    const fs::path kept = keepAside(saveFilePath, save.problem, backup.isBoard());
    std::string outcome = "the game starts a new board";
    if (backup.isBoard()) {
        std::error_code error;
        const fs::file_time_type savedAt = fs::last_write_time(backupFilePath, error);
        const std::string when = error ? "an unknown time" : localTime(savedAt);
        std::string problem;
        if (!writeFileAtomically(saveFilePath, backup.text, problem,
                                 error ? std::nullopt : std::optional(savedAt))) {
            throw UnusableSaveFile(saveFilePath.u8string() + " cannot be used (" + save.problem +
                                   ") and the board in " + backupFilePath.u8string() +
                                   " cannot be put back in its place (" + problem +
                                   "); both are left as they are");
        }
        place(backup.board, spiders, boxes, money);
        loaded.restored = "save.json could not be read; the board saved at " + when + " is back";
        outcome = "the board saved at " + when + " is back from " + backupFilePath.u8string();
    } else if (backup.read != Read::missing) {
        outcome = backupFilePath.u8string() + " cannot be used either (" + backup.problem +
                  "), so the game starts a new board";
    }
    std::cerr << "Tangleroot: " << saveFilePath.u8string() << " cannot be used (" << save.problem
              << "); it was kept as " << kept.u8string() << ", and " << outcome << "\n";
    return loaded;
}
