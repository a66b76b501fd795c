#include "persistence/SaveFile.hpp"

#include "persistence/AtomicFile.hpp"

#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool readWholeFile(const fs::path& path, std::string& text, std::string& problem) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        problem = error ? "it cannot be examined: " + error.message() : "it is not a regular file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = "it cannot be opened for reading";
        return false;
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) {
        problem = "it cannot be read";
        return false;
    }
    text = contents.str();
    return true;
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

void keepAside(const fs::path& path, const std::string& problem) {
    const fs::path kept = freeKeepPath(path);
    std::error_code error = std::make_error_code(std::errc::file_exists);
    if (!kept.empty()) {
        fs::rename(path, kept, error);
    }
    if (error) {
        throw UnusableSaveFile(path.u8string() + " cannot be used (" + problem +
                               ") and cannot be moved aside to " + kept.u8string() + " (" +
                               error.message() + "); not starting, so that it is not overwritten");
    }
    std::cerr << "Tangleroot: " << path.u8string() << " cannot be used (" << problem
              << "); it was kept as " << kept.u8string() << " and the game starts a new board\n";
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

void removeLeftoverTemporaryFiles() {
    removeLeftoverTemporaryFiles(saveFilePath);
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

void load(std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money) {
    std::error_code error;
    const fs::file_type type = fs::symlink_status(saveFilePath, error).type();
    if (type == fs::file_type::not_found) {
        return; // the first start
    }

    std::string text;
    std::string problem;
    SavedBoard board;
    if (type == fs::file_type::none) {
        problem = "it cannot be examined: " + error.message();
    } else if (readWholeFile(saveFilePath, text, problem)) {
        parseBoard(text, board, problem);
    }
    if (!problem.empty()) {
        keepAside(saveFilePath, problem);
        return;
    }

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
