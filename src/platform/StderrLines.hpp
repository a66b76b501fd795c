#pragma once

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

    // At most `room` lines wait; more than that while the output is stuck
    // are dropped, the newest first, so memory stays bounded.
    explicit LineWriter(WriteFunction write, std::size_t room = 64);
    // Writes what waits, then stops the thread: only once the output has
    // come unstuck. The game's own writer is never destroyed.
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Queues `line` and returns at once; false when it was dropped.
    bool tell(std::string line);

    // Waits until every line queued is written, at most `bound`; returns
    // whether they all are.
    bool drain(std::chrono::milliseconds bound);

private:
    void run();

    WriteFunction write;
    const std::size_t room;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable empty;
    std::deque<std::string> lines;
    bool writing = false;
    bool stopping = false;
    std::thread thread; // last, so it starts once the rest is ready
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

// From now on std::cerr (and SFML's error stream) go through a LineWriter;
// on Windows lines reach a console through WriteConsoleW, so every letter
// shows in any font and any version, and a file or pipe gets UTF-8 bytes.
// Elsewhere nothing changes: a terminal never blocks a writer for good.
void writeStderrInTheBackground();

// Waits at most `bound` for the lines told so far to be written; returns
// whether they are. True where stderr is written directly.
bool flushStderrLines(std::chrono::milliseconds bound);
