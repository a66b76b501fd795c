#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// One game per folder: a lock on `file` (made when missing) for as long as
// this lives. The system drops it when the process ends, however it ends.
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& file);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return handle != -1; }
    // Another game holds it, as against a file that cannot be opened at all.
    bool heldElsewhere() const { return takenByOther; }
    const std::string& problem() const { return why; }

private:
    std::intptr_t handle = -1; // a descriptor or a HANDLE
    bool takenByOther = false;
    std::string why;
};
