#include "platform/EndRequests.hpp"

#include "platform/Unix/X11.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

int wakePipe[2] = {-1, -1};

// Xlib ends the process when this returns, so it saves and ends it itself,
// with no X call: the connection is dead.
extern "C" int onDisplayLost(Display*) {
    std::fprintf(stderr,
                 "Tangleroot cannot go on: the connection to the X display was lost; the board "
                 "was %s\n",
                 saveIfHanded() ? "saved" : "not saved");
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

void listenForEndRequests() {
    if (wakePipe[0] < 0 && pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakePipe[0] = wakePipe[1] = -1; // then a request waits for the next frame
    }
    struct sigaction action {};
    action.sa_handler = [](int) { askForTheEnd(); };
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction before {};
        // One the player's shell told the game to ignore stays ignored.
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
            sigaction(signal, &action, nullptr);
        }
    }
    XSetIOErrorHandler(onDisplayLost);
}

int wakeUpPipe() {
    return wakePipe[0];
}

void wakeFrameLoop() {
    // Safe in a signal handler; a full pipe wakes the loop already.
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = write(wakePipe[1], "!", 1);
    errno = saved;
}

void watchTheEnd(sf::WindowHandle) {}
