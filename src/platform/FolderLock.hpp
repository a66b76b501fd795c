#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// One game per folder: holds a lock on a file for as long as it lives. The
// operating system drops the lock when the process ends, however it ends, so a
// crash never leaves the folder locked.
class FolderLock {
public:
    // Takes the lock on `file`, creating the file when it is missing.
    explicit FolderLock(const std::filesystem::path& file);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return handle != noHandle; }
    // Whether another process holds the lock (as against a file that cannot
    // be opened at all); only meaningful when the lock is not held.
    bool heldElsewhere() const { return takenByOther; }
    // Why the lock is not held.
    const std::string& problem() const { return why; }

private:
    static constexpr std::intptr_t noHandle = -1;
    std::intptr_t handle = noHandle;
    bool takenByOther = false;
    std::string why;
};
