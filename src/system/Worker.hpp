#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// A thread for work that may block (a disk, a console), so that its caller never waits for it.
class Worker {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    // At most `room` jobs wait; one more drops the oldest waiting job, since
    // the newest is most often the last word.
    explicit Worker(std::size_t room);
    ~Worker();

    // False when a waiting job was dropped for it.
    bool post(std::function<void()> job);

    // Whether every job posted so far has run by `deadline`.
    bool finish(Deadline deadline);

private:
    void run();

    const std::size_t room;
    std::mutex mutex;
    std::condition_variable wake; // a job came, or the thread is to end
    std::condition_variable idle; // no job waits or runs
    std::deque<std::function<void()>> jobs;
    bool busy = false;
    bool stopping = false;
    std::thread thread; // last, so it starts once the rest is ready
};
