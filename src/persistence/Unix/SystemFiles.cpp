#include "persistence/SystemFiles.hpp"

#include "persistence/AtomicFile.hpp"

#include "system/SystemMessage.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

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
    if (::rename(from.c_str(), to.c_str()) != 0) {
        problem = "cannot replace " + to.filename().u8string() + ": " + systemMessage(errno);
        return false;
    }
    return true;
}

bool moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
              std::string& problem) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        problem = systemMessage(errno);
        return false;
    }
    return true;
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
