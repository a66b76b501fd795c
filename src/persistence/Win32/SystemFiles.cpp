#include "persistence/SystemFiles.hpp"

#include "system/SystemMessage.hpp"

#include <windows.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

// Every 50 ms for 2 s by the clock; GetLastError then holds the last failure's reason.
template <typename Attempt> bool retried(bool (*mayWorkLater)(unsigned long), Attempt attempt) {
    const unsigned long error = retriedWhileHeld(
        mayWorkLater, [&]() -> unsigned long { return attempt() ? 0 : GetLastError(); },
        [] { return GetTickCount64(); }, [] { Sleep(50); });
    SetLastError(error);
    return error == 0;
}

bool failed(const std::string& what, std::string& problem) {
    problem = what + ": " + systemMessage(GetLastError());
    return false;
}

void setReadOnly(const fs::path& path, DWORD attributes, bool readOnly) {
    attributes = readOnly ? attributes | FILE_ATTRIBUTE_READONLY
                          : attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
    SetFileAttributesW(path.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
}

} // namespace

int processId() {
    return static_cast<int>(GetCurrentProcessId());
}

bool writeNewFile(const fs::path& path, const std::string& bytes, const fs::path& like,
                  const std::string& shown, std::string& problem) {
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!retried(createMayWorkLater, [&] {
            file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            return file != INVALID_HANDLE_VALUE;
        })) {
        return failed("cannot create " + shown, problem);
    }
    bool ok = true;
    for (std::size_t written = 0; ok && written < bytes.size();) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - written, 1 << 30);
        DWORD count = 0;
        ok = WriteFile(file, bytes.data() + written, static_cast<DWORD>(chunk), &count, nullptr);
        written += count;
    }
    ok = ok || failed("cannot write " + shown, problem);
    ok = ok &&
         (FlushFileBuffers(file) != 0 || failed("cannot flush " + shown + " to the disk", problem));
    const bool closed = CloseHandle(file) != 0;
    ok = ok && (closed || failed("cannot close " + shown, problem));
    if (!ok) {
        DeleteFileW(path.c_str());
        return false;
    }
    // Read-only is replaceFile's to put back, once the file has its name.
    const DWORD model = GetFileAttributesW(like.c_str());
    const DWORD kept = attributesKeptAcrossSave(model) & ~DWORD{FILE_ATTRIBUTE_READONLY};
    if (model != INVALID_FILE_ATTRIBUTES && !(model & FILE_ATTRIBUTE_DIRECTORY) && kept != 0) {
        SetFileAttributesW(path.c_str(), kept);
    }
    return true;
}

// Open and read again from the start while another program holds the file.
bool readFileBytes(const fs::path& path, std::string& bytes, std::string& problem) {
    const char* step = "cannot be opened";
    const bool read = retried(readOrMoveMayWorkLater, [&] {
        step = "cannot be opened";
        const DWORD anyoneMay = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, anyoneMay, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        step = "cannot be read";
        bytes.clear();
        char buffer[1 << 14];
        DWORD count = 0;
        BOOL ok = FALSE;
        while ((ok = ReadFile(file, buffer, sizeof buffer, &count, nullptr)) && count > 0) {
            bytes.append(buffer, count);
        }
        const DWORD error = GetLastError();
        CloseHandle(file);
        SetLastError(error);
        return ok != FALSE;
    });
    return read || failed(step, problem);
}

// A read-only `to` is writable only during each attempt, so that a kill
// between attempts leaves it read-only.
bool replaceFile(const fs::path& from, const fs::path& to, std::string& problem) {
    const DWORD before = GetFileAttributesW(to.c_str());
    const bool readOnly = before != INVALID_FILE_ATTRIBUTES && (before & FILE_ATTRIBUTE_READONLY);
    const bool replaced = retried(readOrMoveMayWorkLater, [&] {
        if (readOnly) {
            setReadOnly(to, before, false);
        }
        const bool moved = MoveFileExW(from.c_str(), to.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        const DWORD error = GetLastError();
        if (readOnly) {
            const DWORD now = GetFileAttributesW(to.c_str());
            if (now != INVALID_FILE_ATTRIBUTES) {
                setReadOnly(to, now, true);
            }
        }
        SetLastError(error);
        return moved;
    });
    return replaced || failed("cannot replace " + to.filename().u8string(), problem);
}

Moved moveFile(const fs::path& from, const fs::path& to, std::string& problem) {
    if (retried(readOrMoveMayWorkLater, [&] {
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

// MOVEFILE_WRITE_THROUGH has made the move durable.
void syncFolder() {}
