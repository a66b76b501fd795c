#include "persistence/AtomicFile.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::string describeErrno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool writeAll(int fd, const std::string& bytes) {
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

// Makes the rename itself durable. Some file systems cannot sync a folder;
// the new file is whole either way, so a failure here is not reported.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::filesystem::path temporaryPathFor(const std::filesystem::path& path) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temporary = path;
    temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    return temporary;
}

} // namespace

bool writeFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                         std::string& problem) {
    const std::filesystem::path temporary = temporaryPathFor(path);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        problem = describeErrno("cannot create " + temporary.string());
        return false;
    }

    bool ok = writeAll(fd, bytes);
    if (!ok) {
        problem = describeErrno("cannot write " + temporary.string());
    } else if (::fsync(fd) != 0) {
        ok = false;
        problem = describeErrno("cannot flush " + temporary.string() + " to the disk");
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        problem = describeErrno("cannot close " + temporary.string());
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        problem = describeErrno("cannot replace " + path.string());
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }

    const std::filesystem::path folder = path.parent_path();
    syncFolder(folder.empty() ? std::filesystem::path(".") : folder);
    return true;
}
