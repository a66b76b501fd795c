// Preloaded into a program under measurement, it watches the buffer swaps:
// - with $FIRST_FRAME_FILE, the time of the first swap (the first frame shown)
//   goes to that file and the program ends;
// - with $SWAP_COUNT_FILE, the number of swaps so far and the time of the
//   last (CLOCK_MONOTONIC seconds) are kept in that file.
// - with $FSYNC_STALL_FILE, a flush of a save's temporary file waits while
//   that file exists: a disk that stopped answering.
// The same probe serves the game and the floor program.
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" void glXSwapBuffers(void* display, unsigned long drawable) {
    using Swap = void (*)(void*, unsigned long);
    const auto real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    real(display, drawable);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (const char* path = std::getenv("SWAP_COUNT_FILE")) {
        static long swaps = 0;
        static const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        char count[64];
        const int length = std::snprintf(count, sizeof count, "%020ld %012ld.%09ld\n", ++swaps,
                                         static_cast<long>(now.tv_sec), now.tv_nsec);
        pwrite(fd, count, static_cast<size_t>(length), 0);
        return;
    }
    if (const char* path = std::getenv("FIRST_FRAME_FILE")) {
        if (FILE* out = std::fopen(path, "w")) {
            std::fprintf(out, "%ld.%09ld\n", static_cast<long>(now.tv_sec), now.tv_nsec);
            std::fclose(out);
        }
    }
    _exit(0);
}

extern "C" int fsync(int fd) {
    using Flush = int (*)(int);
    const auto real = reinterpret_cast<Flush>(dlsym(RTLD_NEXT, "fsync"));
    const char* stall = std::getenv("FSYNC_STALL_FILE");
    char path[4096] = {};
    if (stall != nullptr &&
        readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1) > 0 &&
        std::strstr(path, ".tmp-") != nullptr) {
        while (access(stall, F_OK) == 0) {
            usleep(10000);
        }
    }
    return real(fd);
}
