#include "platform/FolderLock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

FolderLock::FolderLock(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        handle = fd;
        return;
    }
    takenByOther = fd >= 0 && errno == EWOULDBLOCK;
    why = std::strerror(errno);
    if (fd >= 0) {
        ::close(fd);
    }
}

FolderLock::~FolderLock() {
    if (held()) {
        ::close(static_cast<int>(handle));
    }
}
