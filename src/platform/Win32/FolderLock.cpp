#include "platform/FolderLock.hpp"

#include "system/SystemMessage.hpp"

#include <windows.h>

FolderLock::FolderLock(const std::filesystem::path& file) {
    // Shared and read-only, so that an indexer, a virus scanner or a sync tool
    // holding the file does not look like a second game; the lock keeps one out.
    const HANDLE opened = CreateFileW(file.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        why = systemMessage(GetLastError());
        return;
    }
    OVERLAPPED start{};
    if (!LockFileEx(opened, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &start)) {
        const DWORD error = GetLastError();
        takenByOther = error == ERROR_LOCK_VIOLATION || error == ERROR_SHARING_VIOLATION ||
                       error == ERROR_IO_PENDING;
        why = systemMessage(error);
        CloseHandle(opened);
        return;
    }
    handle = reinterpret_cast<std::intptr_t>(opened);
}

FolderLock::~FolderLock() {
    if (held()) {
        CloseHandle(reinterpret_cast<HANDLE>(handle));
    }
}
