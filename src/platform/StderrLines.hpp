#pragma once

#include "system/WorkerThread.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <streambuf>
#include <string>
#include <thread>

// Writes lines on a thread of its own, so that an output that blocks (a
// Windows console in Select mode, a pipe nobody reads) never holds up the
// thread that has something to say.
class LineWriter {
public:
    // Puts one line, its '\n' included, where it belongs; may block.
    using WriteFunction = std::function<void(const std::string& line)>;

    // At most `room` lines wait, so memory stays bounded: a line told while
    // that many wait (the output is stuck) is kept, and the oldest waiting
    // line is dropped for it.
    explicit LineWriter(WriteFunction write, std::size_t room = 64);
    // Writes what waits, then stops the thread: only once the output has
    // come unstuck. The game's own writer is never destroyed.
    ~LineWriter() = default;
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Queues `line` and returns at once; false when a line was dropped for
    // it (with no room at all, `line` itself).
    bool tell(std::string line);

    // Waits until every line queued is written, at most `bound`; returns
    // whether they all are.
    bool drain(std::chrono::milliseconds bound);

private:
    // What the thread and the game share; the thread keeps it alive.
    struct Shared : WorkerState {
        Shared(WriteFunction write, std::size_t room) : write(std::move(write)), room(room) {}
        const WriteFunction write;
        const std::size_t room;
        std::condition_variable empty; // every line queued is written
        std::deque<std::string> lines;
        bool writing = false;
    };

    // Writes the lines as they come, each outside the lock, until stopped
    // with none left.
    static void run(Shared& shared);

    std::shared_ptr<Shared> shared;
    WorkerThread thread; // last, so it starts once the rest is ready
};

// A stream buffer that hands each whole line written to it, '\n' included,
// to `line`; each thread's text is kept apart until its line is whole, so
// lines from two threads never mix. A flush hands nothing on.
class LineBuffer : public std::streambuf {
public:
    explicit LineBuffer(std::function<void(std::string)> line);

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;

private:
    std::function<void(std::string)> line;
    std::mutex mutex;
    std::map<std::thread::id, std::string> pending;
};
