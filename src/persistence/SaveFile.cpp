#include "persistence/SaveFile.hpp"

#include "entities/Board.hpp"
#include "persistence/AtomicFile.hpp"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

enum class Read { missing, ok, notABoard, failed };

// A file that cannot be examined, opened or read is `failed`; one that is not
// a regular file (a folder in its place), or one larger than any board, is not
// a board, like bytes that are not, and is not read.
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
        return Read::notABoard;
    }
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) {
        problem = "cannot be examined: " + error.message();
        return Read::failed;
    }
    if (size > mostSaveBytes) {
        problem = "it is larger than " + std::to_string(mostSaveBytes >> 20) +
                  " MiB, more than any board";
        return Read::notABoard;
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

    bool isMissing() const { return read == Read::missing; }
    bool isBoard() const { return read == Read::ok && problem.empty(); }
};

// The file at `path` as it is. Throws UnreadableSaveFile when it is there but
// cannot be examined, opened or read.
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

// save.json, and save.json.bak too whenever save.json is not a board, missing
// included: the backup may be all that is left of the board.
void readSaves(SaveOnDisk& save, SaveOnDisk& backup) {
    save = examine(saveFilePath);
    if (!save.isBoard()) {
        backup = examine(backupFilePath);
    }
}

bool isFree(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() == fs::file_type::not_found;
}

UnusableSaveFile cannotKeepAside(const fs::path& path, const std::string& problem,
                                 const std::string& why) {
    return UnusableSaveFile(path.u8string() + " cannot be used (" + problem + ") and " + why +
                            "; not starting, so that it is not overwritten");
}

// Copies the file at `from` to `to`, never over anything there, as moveFile
// moves it. On `failed`, `problem` is the system's reason.
Moved copyFile(const fs::path& from, const fs::path& to, std::string& problem) {
    std::error_code error;
    if (fs::copy_file(from, to, error)) {
        return Moved::done;
    }
    if (error == std::errc::file_exists) {
        return Moved::taken;
    }
    problem = error.message();
    return Moved::failed;
}

// Moves the file at `path`, which is not a board for `problem`, to the first
// free name `path`.unusable-N beside it, or with `copy` copies it there and it
// stays where it is too, until something replaces it. No earlier kept file is
// ever replaced, even one another program makes meanwhile: the next name is
// taken then. Returns the name; throws UnusableSaveFile, with nothing moved,
// when it cannot.
fs::path keepAside(const fs::path& path, const std::string& problem, bool copy) {
    for (int number = 1; number < 100000; ++number) {
        fs::path kept = path;
        kept += ".unusable-" + std::to_string(number);
        if (!isFree(kept)) {
            continue;
        }
        std::string reason; // the system's own
        const Moved moved = copy ? copyFile(path, kept, reason) : moveFile(path, kept, reason);
        if (moved == Moved::done) {
            return kept;
        }
        if (moved == Moved::failed) {
            throw cannotKeepAside(path, problem,
                                  std::string(copy ? "cannot be copied" : "cannot be moved") +
                                      " aside to " + kept.u8string() + " (" + reason + ")");
        }
    }
    throw cannotKeepAside(path, problem, "every name to keep it aside under is taken");
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

// What became of the two files at a start whose save.json was not a board.
struct Replaced {
    fs::path saveKept;   // where save.json was kept; empty when it was missing
    fs::path backupKept; // where save.json.bak was kept; empty unless it was no board
    std::string backAt;  // when the backup's board was saved, once it is back
};

// Puts the backup's board, byte for byte and dated as it was, in save.json's
// place. A save.json that is there is copied aside first and replaced only
// then: until save.json holds the board again, nothing the next start needs
// has moved. Throws UnusableSaveFile, with the folder as it was, when the
// board cannot be put back.
Replaced restoreBackup(const SaveOnDisk& save, const SaveOnDisk& backup) {
    Replaced done;
    if (!save.isMissing()) {
        done.saveKept = keepAside(saveFilePath, save.problem, true);
    }
    std::error_code error;
    const fs::file_time_type savedAt = fs::last_write_time(backupFilePath, error);
    done.backAt = error ? "an unknown time" : localTime(savedAt);
    std::string problem;
    if (!writeFileAtomically(saveFilePath, backup.text, problem,
                             error ? std::nullopt : std::optional(savedAt))) {
        if (!done.saveKept.empty()) {
            fs::remove(done.saveKept, error); // save.json is still there: nothing is kept twice
        }
        const std::string saveState =
            save.isMissing() ? " is missing" : " cannot be used (" + save.problem + ")";
        throw UnusableSaveFile(saveFilePath.u8string() + saveState + " and the board in " +
                               backupFilePath.u8string() + " cannot be put back in its place (" +
                               problem + "); " + backupFilePath.u8string() + " is left as it is");
    }
    return done;
}

// Moves aside each of the two files that is there, neither being a board, so
// that the new board's saves never replace them. Throws UnusableSaveFile when
// one cannot be moved.
Replaced keepBothAside(const SaveOnDisk& save, const SaveOnDisk& backup) {
    Replaced done;
    if (!save.isMissing()) {
        done.saveKept = keepAside(saveFilePath, save.problem, false);
    }
    if (!backup.isMissing()) {
        done.backupKept = keepAside(backupFilePath, backup.problem, false);
    }
    return done;
}

// A file's problem as the window's one line tells it: what is wrong, without
// the details after it (stderr has those).
std::string shortReason(const std::string& problem) {
    return problem.substr(0, problem.find(": "));
}

// The window's line on what `done` did: a file that was read and is not a
// board says so, with where it was kept.
std::string windowLine(const SaveOnDisk& save, const SaveOnDisk& backup, const Replaced& done) {
    const auto notABoard = [](const fs::path& name, const SaveOnDisk& file, const fs::path& kept) {
        return name.u8string() + " is not a board (" + shortReason(file.problem) + "), kept as " +
               kept.u8string();
    };
    std::string line = save.isMissing() ? saveFilePath.u8string() + " was missing"
                                        : notABoard(saveFilePath, save, done.saveKept);
    if (!done.backAt.empty()) {
        return line + "; the board saved at " + done.backAt + " is back";
    }
    if (!done.backupKept.empty()) {
        line += "; " + notABoard(backupFilePath, backup, done.backupKept);
    }
    return line + "; a new board starts";
}

// stderr's line on what `done` did, with each problem whole.
std::string stderrLine(const SaveOnDisk& save, const SaveOnDisk& backup, const Replaced& done) {
    std::string line = "Tangleroot: " + saveFilePath.u8string();
    line += save.isMissing() ? " was missing"
                             : " cannot be used (" + save.problem + "); it was kept as " +
                                   done.saveKept.u8string();
    if (!done.backAt.empty()) {
        return line + ", and the board saved at " + done.backAt + " is back from " +
               backupFilePath.u8string();
    }
    if (!done.backupKept.empty()) {
        return line + ", and " + backupFilePath.u8string() + " cannot be used (" + backup.problem +
               "); it was kept as " + done.backupKept.u8string() +
               ", so the game starts a new board";
    }
    return line + ", and the game starts a new board";
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
        keepOnBoard(loadedBoxes.back().sprite);
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
    if (save.isBoard()) {
        place(save.board, spiders, boxes, money);
        std::error_code error;
        loaded.savedAt = fs::last_write_time(saveFilePath, error);
        if (!error) {
            loaded.backup = std::move(save.text);
        }
        return loaded;
    }
    if (save.isMissing() && backup.isMissing()) {
        return loaded; // the first start
    }
    const Replaced done =
        backup.isBoard() ? restoreBackup(save, backup) : keepBothAside(save, backup);
    if (backup.isBoard()) {
        place(backup.board, spiders, boxes, money);
    }
    loaded.told = windowLine(save, backup, done);
    std::cerr << stderrLine(save, backup, done) << "\n";
    return loaded;
}
