#include "persistence/AtomicFile.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

std::string describeErrno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

#ifdef _WIN32

int processId() {
    return static_cast<int>(GetCurrentProcessId());
}

int openNew(const std::filesystem::path& path) {
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

int writeSome(int fd, const char* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(size));
}

int flushToDisk(int fd) {
    return _commit(fd);
}
int closeFile(int fd) {
    return _close(fd);
}
void removeFile(const std::filesystem::path& path) {
    _wunlink(path.c_str());
}

// The system's message for `error` in UTF-8: Windows gives it in the
// player's language, which may go beyond ASCII ("Datenträger"). The platform
// room has the same for its own messages; persistence does not reach up there.
std::string systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string message(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), size, nullptr,
                        nullptr);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

// Replaces `path` in one move. Another program (an indexer, a virus scanner)
// may hold the old file open for a second or more: try again for 2 seconds.
bool replace(const std::filesystem::path& from, const std::filesystem::path& to,
             std::string& problem) {
    DWORD error = 0;
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION &&
            error != ERROR_LOCK_VIOLATION) {
            break;
        }
        Sleep(50);
    }
    problem = "cannot replace " + to.filename().u8string() + ": " + systemMessage(error);
    return false;
}

// Windows has no folder sync: MOVEFILE_WRITE_THROUGH makes the move durable.
void syncFolder(const std::filesystem::path&) {}

#else

int processId() {
    return static_cast<int>(::getpid());
}

int openNew(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int writeSome(int fd, const char* data, std::size_t size) {
    return static_cast<int>(::write(fd, data, size));
}

int flushToDisk(int fd) {
    return ::fsync(fd);
}
int closeFile(int fd) {
    return ::close(fd);
}
void removeFile(const std::filesystem::path& path) {
    ::unlink(path.c_str());
}

bool replace(const std::filesystem::path& from, const std::filesystem::path& to,
             std::string& problem) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        problem = describeErrno("cannot replace " + to.filename().u8string());
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

bool writeAll(int fd, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const int count = writeSome(fd, bytes.data() + written, bytes.size() - written);
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
    const int fd = openNew(temporary);
    if (fd < 0) {
        problem = describeErrno("cannot create" + beside);
        return false;
    }

    bool ok = writeAll(fd, bytes);
    if (!ok) {
        problem = describeErrno("cannot write" + beside);
    } else if (flushToDisk(fd) != 0) {
        ok = false;
        problem = describeErrno("cannot flush" + beside + " to the disk");
    }
    if (closeFile(fd) != 0 && ok) {
        ok = false;
        problem = describeErrno("cannot close" + beside);
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
