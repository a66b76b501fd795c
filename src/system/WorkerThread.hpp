#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// What a worker thread and its owner share, under one lock: the owner hands
// work over and wakes the thread, which ends once asked to stop with its work
// done.
struct WorkerState {
    std::mutex mutex;
    std::condition_variable wake; // work came, or the thread is to stop
    bool stopping = false;
};

// A thread of its own for work that may block (a disk, a console), so that
// the thread handing it over never waits: the one stop of the game's writer
// threads. Stopping waits for the thread as long as its owner allows; a
// thread still stuck after that is left to end with the process, and keeps
// the state it shares with its owner alive meanwhile.
class WorkerThread {
public:
    // Runs `run` on the new thread; `run` returns once `state->stopping` is
    // set and the work it was handed is done.
    WorkerThread(std::shared_ptr<WorkerState> state, std::function<void()> run);
    // Stops the thread, waiting for as long as it takes.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Asks the thread to stop and waits until it has ended, at most `bound`
    // (none: for as long as it takes); past that it runs on alone.
    void stop(std::optional<std::chrono::milliseconds> bound = std::nullopt);

private:
    std::shared_ptr<WorkerState> state;
    std::future<void> ended;
    std::thread thread;
};
