#pragma once

#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "persistence/BoardJson.hpp"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

inline const std::filesystem::path saveFilePath = "save.json";
inline const std::filesystem::path backupFilePath = "save.json.bak";

std::string notSavedLine(const std::string& problem);

std::string boardSnapshot(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                          int money);

bool writeSaveFile(const std::string& bytes, std::string& problem);

// Dated `savedAt`, with save.json's mode.
bool writeBackupFile(const std::string& bytes, std::filesystem::file_time_type savedAt,
                     std::string& problem);

void removeLeftoverTemporaryFiles();

struct LoadedSave {
    // A save.json that loaded cleanly, to keep as save.json.bak; else empty.
    std::string backup;
    std::filesystem::file_time_type savedAt;
    // When save.json was no board: what replaced it, where the files were kept.
    std::string restoredLine;
};

// Writes nothing.
void requireReadableSave();

// docs/saving.md has the answer to each pair of save.json and save.json.bak states.
LoadedSave load(std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money);

struct UnusableSaveFile : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A file the player may not read may well hold a good board.
struct UnreadableSaveFile : std::runtime_error {
    using std::runtime_error::runtime_error;
};
