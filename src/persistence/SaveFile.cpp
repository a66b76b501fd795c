#include "persistence/SaveFile.hpp"

#include "entities/Board.hpp"
#include "persistence/AtomicFile.hpp"
#include "persistence/SystemFiles.hpp"

#include <chrono>
#include <ctime>
#include <iostream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// One file as it is on the disk. `problem` says why it is not a board.
struct SaveOnDisk {
    bool missing = true;
    std::string text;
    SavedBoard board;
    std::string problem;

    bool isBoard() const { return !missing && problem.empty(); }
};

// Throws UnreadableSaveFile when the file is there but cannot be examined,
// opened or read. A folder, or a file larger than any board, is not read.
SaveOnDisk examine(const fs::path& path) {
    SaveOnDisk found;
    std::error_code error;
    found.missing = fs::symlink_status(path, error).type() == fs::file_type::not_found;
    if (found.missing) {
        return found;
    }
    const bool regular = fs::is_regular_file(fs::status(path, error));
    const std::uintmax_t size = error || !regular ? 0 : fs::file_size(path, error);
    std::string unreadable;
    if (error) {
        unreadable = "cannot be examined: " + error.message();
    } else if (!regular) {
        found.problem = "it is not a regular file";
    } else if (size > mostSaveBytes) {
        found.problem = "it is larger than " + std::to_string(mostSaveBytes >> 20) +
                        " MiB, more than any board";
    } else if (readFileBytes(path, found.text, unreadable)) {
        parseBoard(found.text, found.board, found.problem);
    }
    if (!unreadable.empty()) {
        throw UnreadableSaveFile(shownPath(path) + " " + unreadable +
                                 "; it is left as it is, as it may hold a good board: start "
                                 "the game once it can be read, or move it away for a new board");
    }
    return found;
}

// Examined on construction. save.json.bak is read whenever save.json is no
// board, missing included: it may be all that is left of the board.
struct SavesOnDisk {
    SaveOnDisk save = examine(saveFilePath);
    SaveOnDisk backup = save.isBoard() ? SaveOnDisk{} : examine(backupFilePath);
};

// To the first free `path`.unusable-N, never over one kept before, even one made meanwhile.
fs::path keepAside(const fs::path& path, const std::string& problem) {
    const auto refusal = [&](const std::string& why) {
        return UnusableSaveFile(path.u8string() + " cannot be used (" + problem + ") and " + why +
                                "; not starting, so that it is not overwritten");
    };
    for (int number = 1; number < 100000; ++number) {
        fs::path kept = path;
        kept += ".unusable-" + std::to_string(number);
        std::string reason;
        const Moved moved = moveFile(path, kept, reason);
        if (moved == Moved::done) {
            return kept;
        }
        if (moved == Moved::failed) {
            throw refusal("cannot be moved aside to " + kept.u8string() + " (" + reason + ")");
        }
    }
    throw refusal("every name to keep it aside under is taken");
}

std::string localTime(fs::file_time_type time) {
    using namespace std::chrono;
    const std::time_t seconds =
        system_clock::to_time_t(system_clock::now() + duration_cast<system_clock::duration>(
                                                          time - fs::file_time_type::clock::now()));
    const std::tm* local = std::localtime(&seconds);
    char text[64];
    return local && std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", local) ? text
                                                                              : "an unknown time";
}

// Files that are no board are kept aside, so no save replaces them. When the
// backup cannot take save.json's place, the folder is put back as it was.
// Says in full on stderr what became of the files; the line returned, for the
// window, has room for what is wrong, not the details after it.
std::string replaceSave(const SavesOnDisk& found) {
    fs::path saveKept; // empty when save.json was missing
    if (!found.save.missing) {
        saveKept = keepAside(saveFilePath, found.save.problem);
    }
    fs::path backupKept; // empty unless save.json.bak was no board
    std::string backAt;  // when the backup's board was saved, once it is back
    if (found.backup.isBoard()) {
        std::error_code error;
        const fs::file_time_type savedAt = fs::last_write_time(backupFilePath, error);
        backAt = error ? "an unknown time" : localTime(savedAt);
        std::string problem;
        if (!writeFileAtomically(saveFilePath, found.backup.text, backupFilePath, problem,
                                 error ? std::nullopt : std::optional(savedAt))) {
            std::string ignored;
            if (!saveKept.empty()) {
                moveFile(saveKept, saveFilePath, ignored);
            }
            const std::string saveState =
                found.save.missing ? " is missing" : " cannot be used (" + found.save.problem + ")";
            throw UnusableSaveFile(saveFilePath.u8string() + saveState + " and the board in " +
                                   backupFilePath.u8string() +
                                   " cannot be put back in its place (" + problem + "); " +
                                   backupFilePath.u8string() + " is left as it is");
        }
    } else if (!found.backup.missing) {
        backupKept = keepAside(backupFilePath, found.backup.problem);
    }
    const auto line = [&](bool whole) {
        const auto notABoard = [whole](const fs::path& name, const std::string& problem,
                                       const fs::path& kept) {
            return name.u8string() + " is not a board (" +
                   (whole ? problem : problem.substr(0, problem.find(": "))) + "), kept as " +
                   kept.u8string();
        };
        std::string line = found.save.missing
                               ? saveFilePath.u8string() + " was missing"
                               : notABoard(saveFilePath, found.save.problem, saveKept);
        if (!backAt.empty()) {
            return line + "; the board saved at " + backAt + " is back";
        }
        if (!backupKept.empty()) {
            line += "; " + notABoard(backupFilePath, found.backup.problem, backupKept);
        }
        return line + "; a new board starts";
    };
    std::cerr << "Tangleroot: " << line(true) << "\n";
    return line(false);
}

} // namespace

std::string boardSnapshot(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
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
    return boardToJson(board);
}

bool writeSaveFile(const std::string& bytes, std::string& problem) {
    return writeFileAtomically(saveFilePath, bytes, saveFilePath, problem);
}

bool writeBackupFile(const std::string& bytes, fs::file_time_type savedAt, std::string& problem) {
    return writeFileAtomically(backupFilePath, bytes, saveFilePath, problem, savedAt);
}

void removeLeftoverTemporaryFiles() {
    removeLeftoverTemporaryFiles(saveFilePath);
    removeLeftoverTemporaryFiles(backupFilePath);
}

std::string notSavedLine(const std::string& problem) {
    return "Tangleroot: the board was not saved (" + problem + "); the previous save is kept";
}

void requireReadableSave() {
    const SavesOnDisk examined;
}

LoadedSave load(std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money) {
    const SavesOnDisk found; // before anything moves
    LoadedSave loaded;
    if (found.save.isBoard()) {
        std::error_code error;
        loaded.savedAt = fs::last_write_time(saveFilePath, error);
        loaded.backup = error ? "" : found.save.text;
    } else if (!found.save.missing || !found.backup.missing) {
        loaded.restoredLine = replaceSave(found);
    }
    const SaveOnDisk& played = found.save.isBoard() ? found.save : found.backup;
    if (played.isBoard()) {
        spiders.clear();
        boxes.clear();
        for (const SavedSpider& spider : played.board.spiders) {
            spiders.emplace_back(spider.stage, spider.x, spider.y);
        }
        for (const SavedBox& box : played.board.boxes) {
            boxes.emplace_back(box.x, box.y);
            keepOnBoard(boxes.back().sprite);
        }
        money = played.board.money;
    }
    return loaded;
}
