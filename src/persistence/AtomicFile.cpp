#include "persistence/AtomicFile.hpp"

#include "persistence/SystemFiles.hpp"

#include <atomic>
#include <system_error>

namespace fs = std::filesystem;

std::string shownPath(const fs::path& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return (error ? path : absolute).u8string();
}

bool createMayWorkLater(unsigned long windowsError) {
    // ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION
    return windowsError == 32 || windowsError == 33;
}

bool readOrMoveMayWorkLater(unsigned long windowsError) {
    // ERROR_ACCESS_DENIED
    return windowsError == 5 || createMayWorkLater(windowsError);
}

unsigned long retriedWhileHeld(bool (*mayWorkLater)(unsigned long),
                               const std::function<unsigned long()>& attempt,
                               const std::function<std::uint64_t()>& milliseconds,
                               const std::function<void()>& pause) {
    const std::uint64_t deadline = milliseconds() + 2000;
    for (;;) {
        const unsigned long error = attempt();
        if (error == 0 || !mayWorkLater(error) || milliseconds() >= deadline) {
            return error;
        }
        pause();
    }
}

unsigned long attributesKeptAcrossSave(unsigned long windowsAttributes) {
    // FILE_ATTRIBUTE_READONLY, _HIDDEN, _SYSTEM, _NOT_CONTENT_INDEXED
    return windowsAttributes & (0x1ul | 0x2ul | 0x4ul | 0x2000ul);
}

constexpr const char* temporarySuffix = ".tmp-";

bool writeFileAtomically(fs::path path, const std::string& bytes, fs::path like,
                         std::string& problem, std::optional<fs::file_time_type> modified) {
    static std::atomic<unsigned> counter{0};
    fs::path temporary = path;
    temporary += temporarySuffix + std::to_string(processId()) + "-" + std::to_string(counter++);
    // Messages never name the temporary file: the player never sees it.
    if (!writeNewFile(temporary, bytes, like,
                      "a temporary file beside " + path.filename().u8string(), problem)) {
        return false;
    }
    if (modified) {
        std::error_code ignored; // a file system that keeps no such time still gets the bytes
        fs::last_write_time(temporary, *modified, ignored);
    }
    if (!replaceFile(temporary, path, problem)) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    syncFolder();
    return true;
}

void removeLeftoverTemporaryFiles(const fs::path& path) {
    const std::string prefix = path.filename().u8string() + temporarySuffix;
    std::error_code error;
    for (fs::directory_iterator entry(".", error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code ignored;
        if (entry->path().filename().u8string().rfind(prefix, 0) == 0 &&
            entry->is_regular_file(ignored)) {
            fs::remove(entry->path(), ignored);
        }
    }
}
