// Preloaded into a program under measurement: when it shows its first frame
// (its first buffer swap), the time goes to $FIRST_FRAME_FILE and the program
// ends. The same probe serves the game and the floor program.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

extern "C" void glXSwapBuffers(void* display, unsigned long drawable) {
    using Swap = void (*)(void*, unsigned long);
    const auto real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    real(display, drawable);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (const char* path = std::getenv("FIRST_FRAME_FILE")) {
        if (FILE* out = std::fopen(path, "w")) {
            std::fprintf(out, "%ld.%09ld\n", static_cast<long>(now.tv_sec), now.tv_nsec);
            std::fclose(out);
        }
    }
    _exit(0);
}
