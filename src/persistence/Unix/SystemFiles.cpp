#include "persistence/SystemFiles.hpp"

#include "system/SystemMessage.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace fs = std::filesystem;

namespace {

bool failed(const std::string& what, std::string& problem) {
    problem = what + ": " + systemMessage(static_cast<unsigned long>(errno));
    return false;
}

bool renameWithoutReplacing(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without that rename: link() refuses a taken name.
    if (::link(from, to) == 0) {
        if (::unlink(from) == 0) {
            return true;
        }
        const int error = errno;
        ::unlink(to);
        errno = error;
        return false;
    }
    // No hard links (EOPNOTSUPP on some FUSE mounts), or a folder: a look, then a rename.
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOTSUP && errno != ENOSYS) {
        return false;
    }
    struct stat found;
    if (::lstat(to, &found) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from, to) == 0;
}

} // namespace

int processId() {
    return static_cast<int>(::getpid());
}

bool writeNewFile(const fs::path& path, const std::string& bytes, const fs::path& like,
                  const std::string& shown, std::string& problem) {
    struct stat model;
    const bool keepMode = ::stat(like.c_str(), &model) == 0 && S_ISREG(model.st_mode);
    const mode_t mode = keepMode ? model.st_mode & 0777 : 0666;
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (file < 0) {
        return failed("cannot create " + shown, problem);
    }
    if (keepMode) {
        ::fchmod(file, mode); // past the umask; a file system without modes still gets the bytes
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(file, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno != EINTR) {
            break;
        }
        written += count > 0 ? static_cast<std::size_t>(count) : 0;
    }
    bool ok = written == bytes.size() || failed("cannot write " + shown, problem);
    ok = ok && (::fsync(file) == 0 || failed("cannot flush " + shown + " to the disk", problem));
    const bool closed = ::close(file) == 0;
    ok = ok && (closed || failed("cannot close " + shown, problem));
    if (!ok) {
        ::unlink(path.c_str());
    }
    return ok;
}

bool readFileBytes(const fs::path& path, std::string& bytes, std::string& problem) {
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return failed("cannot be opened", problem);
    }
    char buffer[1 << 14];
    ssize_t count = 0;
    while ((count = ::read(file, buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
        bytes.append(buffer, count > 0 ? static_cast<std::size_t>(count) : 0);
    }
    const bool ok = count == 0 || failed("cannot be read", problem);
    ::close(file);
    return ok;
}

bool replaceFile(const fs::path& from, const fs::path& to, std::string& problem) {
    return ::rename(from.c_str(), to.c_str()) == 0 ||
           failed("cannot replace " + to.filename().u8string(), problem);
}

Moved moveFile(const fs::path& from, const fs::path& to, std::string& problem) {
    if (renameWithoutReplacing(from.c_str(), to.c_str())) {
        return Moved::done;
    }
    if (errno == EEXIST) {
        return Moved::taken;
    }
    problem = systemMessage(static_cast<unsigned long>(errno));
    return Moved::failed;
}

// Some file systems cannot sync a folder; the new file is whole either way.
void syncFolder() {
    const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
