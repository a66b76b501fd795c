#include "persistence/SystemFiles.hpp"

#include "persistence/AtomicFile.hpp"

#include "system/SystemMessage.hpp"

#include <windows.h>

#include <algorithm>

namespace {

HANDLE handleOf(File file) {
    return reinterpret_cast<HANDLE>(file);
}

// Calls `attempt` (true on success, GetLastError set on failure) again every
// 50 ms for 2 seconds while `mayWorkLater` says its error may pass, as when
// another program (an indexer, a virus scanner) holds the file for a moment.
// Returns whether an attempt succeeded; GetLastError then holds the last
// failure's reason.
template <typename Attempt>
bool retriedWhileHeld(bool (*mayWorkLater)(unsigned long), Attempt attempt) {
    const ULONGLONG deadline = GetTickCount64() + 2000;
    for (;;) {
        if (attempt()) {
            return true;
        }
        const DWORD error = GetLastError();
        if (!mayWorkLater(error) || GetTickCount64() >= deadline) {
            SetLastError(error);
            return false;
        }
        Sleep(50);
    }
}

// Gives the new file `from` the hidden, system and not-indexed attributes
// `to` has. Returns `to`'s attributes (INVALID_FILE_ATTRIBUTES when it has
// none, as a missing file).
DWORD carryAttributes(const std::filesystem::path& from, const std::filesystem::path& to) {
    const DWORD before = GetFileAttributesW(to.c_str());
    if (before == INVALID_FILE_ATTRIBUTES) {
        return before;
    }
    const DWORD kept = attributesKeptAcrossSave(before) & ~DWORD{FILE_ATTRIBUTE_READONLY};
    if (kept != 0) {
        SetFileAttributesW(from.c_str(), kept);
    }
    return before;
}

// Makes `to`, read-only in `before`, writable, which a replace needs.
void clearReadOnly(const std::filesystem::path& to, DWORD before) {
    const DWORD writable = before & ~DWORD{FILE_ATTRIBUTE_READONLY};
    SetFileAttributesW(to.c_str(), writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL);
}

// Makes `to` read-only again, keeping its other attributes.
void restoreReadOnly(const std::filesystem::path& to) {
    const DWORD now = GetFileAttributesW(to.c_str());
    if (now != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(to.c_str(), now | FILE_ATTRIBUTE_READONLY);
    }
}

} // namespace

const File noFile = reinterpret_cast<File>(INVALID_HANDLE_VALUE);

unsigned long lastFileError() {
    return GetLastError();
}

int processId() {
    return static_cast<int>(GetCurrentProcessId());
}

File openNew(const std::filesystem::path& path) {
    HANDLE file = INVALID_HANDLE_VALUE;
    retriedWhileHeld(createMayWorkLater, [&] {
        file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        return file != INVALID_HANDLE_VALUE;
    });
    return reinterpret_cast<File>(file);
}

File openExisting(const std::filesystem::path& path) {
    return reinterpret_cast<File>(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

long readSome(File file, char* buffer, std::size_t size) {
    DWORD count = 0;
    if (!ReadFile(handleOf(file), buffer, static_cast<DWORD>(size), &count, nullptr)) {
        return -1;
    }
    return static_cast<long>(count);
}

long writeSome(File file, const char* bytes, std::size_t size) {
    DWORD count = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
    if (!WriteFile(handleOf(file), bytes, chunk, &count, nullptr)) {
        return -1;
    }
    return static_cast<long>(count);
}

bool flushToDisk(File file) {
    return FlushFileBuffers(handleOf(file)) != 0;
}

bool closeFile(File file) {
    return CloseHandle(handleOf(file)) != 0;
}

void removeFile(const std::filesystem::path& path) {
    DeleteFileW(path.c_str());
}

// Retried while another program holds the old file open. A read-only `to`
// is replaced too, and stays read-only: it is writable only during each
// attempt, so that a kill between attempts leaves it read-only.
bool replace(const std::filesystem::path& from, const std::filesystem::path& to,
             std::string& problem) {
    const DWORD before = carryAttributes(from, to);
    const bool readOnly = before != INVALID_FILE_ATTRIBUTES && (before & FILE_ATTRIBUTE_READONLY);
    const bool replaced = retriedWhileHeld(moveMayWorkLater, [&] {
        if (readOnly) {
            clearReadOnly(to, before);
        }
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
            return true;
        }
        const DWORD error = GetLastError();
        if (readOnly) {
            restoreReadOnly(to);
        }
        SetLastError(error);
        return false;
    });
    if (replaced) {
        if (readOnly) {
            restoreReadOnly(to);
        }
        return true;
    }
    problem = "cannot replace " + to.filename().u8string() + ": " + systemMessage(GetLastError());
    return false;
}

Moved moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
               std::string& problem) {
    // Not MOVEFILE_REPLACE_EXISTING: a file already at `to` stays
    if (retriedWhileHeld(moveMayWorkLater, [&] {
            return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
        })) {
        return Moved::done;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return Moved::taken;
    }
    problem = systemMessage(error);
    return Moved::failed;
}

// Windows has no folder sync: MOVEFILE_WRITE_THROUGH makes the move durable.
void syncFolder(const std::filesystem::path&) {}
