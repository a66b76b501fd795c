#include "persistence/AtomicFile.hpp"

#include "system/SystemMessage.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

std::string where(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? path : absolute).u8string();
}

bool moveMayWorkLater(unsigned long windowsError) {
    // ERROR_ACCESS_DENIED (also a file being deleted), ERROR_SHARING_VIOLATION,
    // ERROR_LOCK_VIOLATION
    return windowsError == 5 || windowsError == 32 || windowsError == 33;
}

unsigned long attributesKeptAcrossSave(unsigned long windowsAttributes) {
    // FILE_ATTRIBUTE_READONLY, _HIDDEN, _SYSTEM, _NOT_CONTENT_INDEXED
    return windowsAttributes & (0x1ul | 0x2ul | 0x4ul | 0x2000ul);
}

namespace {

#ifdef _WIN32

// Files through the system's own calls, so that every failure has the
// system's reason in the player's language, as the rename's has.
using File = HANDLE;
const File noFile = INVALID_HANDLE_VALUE;

unsigned long lastError() {
    return GetLastError();
}

int processId() {
    return static_cast<int>(GetCurrentProcessId());
}

// Calls `attempt` (true on success, GetLastError set on failure) again while
// another program (an indexer, a virus scanner) holds the file for a moment:
// for 2 seconds, 40 pauses of 50 ms. Returns whether an attempt succeeded;
// GetLastError then holds the last failure's reason.
template <typename Attempt> bool retriedWhileHeld(Attempt attempt) {
    for (int pauses = 0;; ++pauses) {
        if (attempt()) {
            return true;
        }
        const DWORD error = GetLastError();
        if (!moveMayWorkLater(error) || pauses == 40) {
            SetLastError(error);
            return false;
        }
        Sleep(50);
    }
}

File openNew(const std::filesystem::path& path) {
    File file = noFile;
    retriedWhileHeld([&] {
        file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        return file != noFile;
    });
    return file;
}

// Others may go on reading, writing, even replacing the file meanwhile.
File openExisting(const std::filesystem::path& path) {
    return CreateFileW(path.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The bytes read, 0 at the end of the file, -1 on failure.
long readSome(File file, char* buffer, std::size_t size) {
    DWORD count = 0;
    if (!ReadFile(file, buffer, static_cast<DWORD>(size), &count, nullptr)) {
        return -1;
    }
    return static_cast<long>(count);
}

bool writeAll(File file, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 30));
        DWORD count = 0;
        if (!WriteFile(file, bytes.data() + written, chunk, &count, nullptr)) {
            return false;
        }
        written += count;
    }
    return true;
}

bool flushToDisk(File file) {
    return FlushFileBuffers(file) != 0;
}
bool closeFile(File file) {
    return CloseHandle(file) != 0;
}
void removeFile(const std::filesystem::path& path) {
    DeleteFileW(path.c_str());
}

// Gets the new file `from` ready to replace `to`: it takes the hidden,
// system and not-indexed attributes `to` has, and a read-only `to` is made
// writable, which a replace needs. Returns `to`'s attributes as they were
// (INVALID_FILE_ATTRIBUTES when it has none, as a missing file).
DWORD carryAttributes(const std::filesystem::path& from, const std::filesystem::path& to) {
    const DWORD before = GetFileAttributesW(to.c_str());
    if (before == INVALID_FILE_ATTRIBUTES) {
        return before;
    }
    const DWORD kept = attributesKeptAcrossSave(before) & ~DWORD{FILE_ATTRIBUTE_READONLY};
    if (kept != 0) {
        SetFileAttributesW(from.c_str(), kept);
    }
    if (before & FILE_ATTRIBUTE_READONLY) {
        const DWORD writable = before & ~DWORD{FILE_ATTRIBUTE_READONLY};
        SetFileAttributesW(to.c_str(), writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL);
    }
    return before;
}

// After the replace, or a failed one: `to` is read-only again if it was.
void restoreReadOnly(const std::filesystem::path& to, DWORD before) {
    if (before != INVALID_FILE_ATTRIBUTES && (before & FILE_ATTRIBUTE_READONLY)) {
        const DWORD now = GetFileAttributesW(to.c_str());
        if (now != INVALID_FILE_ATTRIBUTES) {
            SetFileAttributesW(to.c_str(), now | FILE_ATTRIBUTE_READONLY);
        }
    }
}

// Replaces `path` in one move, retried while another program holds the old
// file open. A read-only `to` is replaced too, and stays read-only.
bool replace(const std::filesystem::path& from, const std::filesystem::path& to,
             std::string& problem) {
    const DWORD attributes = carryAttributes(from, to);
    const bool replaced = retriedWhileHeld([&] {
        return MoveFileExW(from.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    });
    const DWORD error = GetLastError();
    restoreReadOnly(to, attributes);
    if (replaced) {
        return true;
    }
    problem = "cannot replace " + to.filename().u8string() + ": " + systemMessage(error);
    return false;
}

// Windows has no folder sync: MOVEFILE_WRITE_THROUGH makes the move durable.
void syncFolder(const std::filesystem::path&) {}

#else

using File = int;
const File noFile = -1;

unsigned long lastError() {
    return static_cast<unsigned long>(errno);
}

int processId() {
    return static_cast<int>(::getpid());
}

File openNew(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

File openExisting(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

long readSome(File fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t count = ::read(fd, buffer, size);
        if (count >= 0 || errno != EINTR) {
            return static_cast<long>(count);
        }
    }
}

bool writeAll(File fd, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

bool flushToDisk(File fd) {
    return ::fsync(fd) == 0;
}
bool closeFile(File fd) {
    return ::close(fd) == 0;
}
void removeFile(const std::filesystem::path& path) {
    ::unlink(path.c_str());
}

bool replace(const std::filesystem::path& from, const std::filesystem::path& to,
             std::string& problem) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        problem = "cannot replace " + to.filename().u8string() + ": " + systemMessage(errno);
        return false;
    }
    return true;
}

// Makes the rename itself durable. Some file systems cannot sync a folder;
// the new file is whole either way, so a failure here is not reported.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

#endif

// `what`, and the system's reason for the call that just failed.
std::string describeLastError(const std::string& what) {
    return what + ": " + systemMessage(lastError());
}

const char* const temporarySuffix = ".tmp-";

std::filesystem::path temporaryPathFor(const std::filesystem::path& path) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temporary = path;
    temporary += temporarySuffix + std::to_string(processId()) + "-" + std::to_string(counter++);
    return temporary;
}

} // namespace

bool writeFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                         std::string& problem,
                         std::optional<std::filesystem::file_time_type> modified) {
    // Messages name the file being replaced, never the temporary one: its name
    // changes at every attempt, and the player never sees it.
    const std::string beside = " a temporary file beside " + path.filename().u8string();
    const std::filesystem::path temporary = temporaryPathFor(path);
    const File file = openNew(temporary);
    if (file == noFile) {
        problem = describeLastError("cannot create" + beside);
        return false;
    }

    bool ok = writeAll(file, bytes);
    if (!ok) {
        problem = describeLastError("cannot write" + beside);
    } else if (!flushToDisk(file)) {
        ok = false;
        problem = describeLastError("cannot flush" + beside + " to the disk");
    }
    if (!closeFile(file) && ok) {
        ok = false;
        problem = describeLastError("cannot close" + beside);
    }
    if (ok && modified) {
        // A file system that keeps no such time still gets the bytes.
        std::error_code ignored;
        std::filesystem::last_write_time(temporary, *modified, ignored);
    }
    if (ok && !replace(temporary, path, problem)) {
        ok = false;
    }
    if (!ok) {
        removeFile(temporary);
        return false;
    }

    const std::filesystem::path folder = path.parent_path();
    syncFolder(folder.empty() ? std::filesystem::path(".") : folder);
    return true;
}

bool moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
              std::string& problem) {
#ifdef _WIN32
    // Not MOVEFILE_REPLACE_EXISTING: a file already at `to` stays
    if (retriedWhileHeld(
            [&] { return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0; })) {
        return true;
    }
    problem = systemMessage(GetLastError());
    return false;
#else
    if (::rename(from.c_str(), to.c_str()) != 0) {
        problem = systemMessage(errno);
        return false;
    }
    return true;
#endif
}

bool readWholeFileBytes(const std::filesystem::path& path, std::string& bytes,
                        std::string& problem) {
    const File file = openExisting(path);
    if (file == noFile) {
        problem = describeLastError("cannot be opened");
        return false;
    }
    char buffer[1 << 14];
    long count = 0;
    while ((count = readSome(file, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    if (count < 0) {
        problem = describeLastError("cannot be read");
    }
    closeFile(file);
    return count == 0;
}

void removeLeftoverTemporaryFiles(const std::filesystem::path& path) {
    const std::string prefix = path.filename().u8string() + temporarySuffix;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code ignored;
        if (entry->path().filename().u8string().rfind(prefix, 0) == 0 &&
            entry->is_regular_file(ignored)) {
            std::filesystem::remove(entry->path(), ignored);
        }
    }
}
