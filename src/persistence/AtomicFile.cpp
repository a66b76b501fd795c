#include "persistence/AtomicFile.hpp"

#include "persistence/SystemFiles.hpp"
#include "system/SystemMessage.hpp"

#include <atomic>
#include <system_error>

std::string where(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? path : absolute).u8string();
}

bool createMayWorkLater(unsigned long windowsError) {
    // ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION
    return windowsError == 32 || windowsError == 33;
}

bool moveMayWorkLater(unsigned long windowsError) {
    // ERROR_ACCESS_DENIED (also a file being deleted)
    return windowsError == 5 || createMayWorkLater(windowsError);
}

unsigned long attributesKeptAcrossSave(unsigned long windowsAttributes) {
    // FILE_ATTRIBUTE_READONLY, _HIDDEN, _SYSTEM, _NOT_CONTENT_INDEXED
    return windowsAttributes & (0x1ul | 0x2ul | 0x4ul | 0x2000ul);
}

namespace {

// `what`, and the system's reason for the call that just failed.
std::string describeLastError(const std::string& what) {
    return what + ": " + systemMessage(lastFileError());
}

bool writeAll(File file, const std::string& bytes) {
    for (std::size_t written = 0; written < bytes.size();) {
        const long count = writeSome(file, bytes.data() + written, bytes.size() - written);
        if (count < 0) {
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

bool writeFileAtomically(std::filesystem::path path, const std::string& bytes,
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
