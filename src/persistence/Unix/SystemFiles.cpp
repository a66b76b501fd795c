#include "persistence/SystemFiles.hpp"

#include "persistence/AtomicFile.hpp"

#include "system/SystemMessage.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Gives the file at `from` the name `to` unless something has it, in one
// step. Returns whether it did; errno is EEXIST when `to` was taken.
bool renameWithoutReplacing(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without that rename: link() refuses a taken name, then
    // the old name goes.
    if (::link(from, to) == 0) {
        if (::unlink(from) == 0) {
            return true;
        }
        const int error = errno;
        ::unlink(to);
        errno = error;
        return false;
    }
    if (errno != EPERM) {
        return false;
    }
    // A folder, or a file system without links: a look, then a rename, which
    // is the best left.
    struct stat found;
    if (::lstat(to, &found) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from, to) == 0;
}

} // namespace

const File noFile = -1;

unsigned long lastFileError() {
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

long readSome(File file, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t count = ::read(static_cast<int>(file), buffer, size);
        if (count >= 0 || errno != EINTR) {
            return static_cast<long>(count);
        }
    }
}

long writeSome(File file, const char* bytes, std::size_t size) {
    for (;;) {
        const ssize_t count = ::write(static_cast<int>(file), bytes, size);
        if (count >= 0 || errno != EINTR) {
            return static_cast<long>(count);
        }
    }
}

bool flushToDisk(File file) {
    return ::fsync(static_cast<int>(file)) == 0;
}

bool closeFile(File file) {
    return ::close(static_cast<int>(file)) == 0;
}

void removeFile(const std::filesystem::path& path) {
    ::unlink(path.c_str());
}

bool replace(const std::filesystem::path& from, const std::filesystem::path& to,
             std::string& problem) {
    // The new file takes the permissions of the file it replaces, as a player
    // may have made save.json read-only. A file system without permissions
    // still gets the bytes.
    struct stat old;
    if (::stat(to.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::chmod(from.c_str(), old.st_mode & 0777);
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        problem = "cannot replace " + to.filename().u8string() + ": " + systemMessage(errno);
        return false;
    }
    return true;
}

Moved moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
               std::string& problem) {
    if (renameWithoutReplacing(from.c_str(), to.c_str())) {
        return Moved::done;
    }
    if (errno == EEXIST) {
        return Moved::taken;
    }
    problem = systemMessage(errno);
    return Moved::failed;
}

// Some file systems cannot sync a folder; the new file is whole either way,
// so a failure here is not reported.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
