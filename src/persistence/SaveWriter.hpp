#pragma once

#include "system/Worker.hpp"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

// Writes snapshots of the board on its own thread, so that a slow disk never holds up a frame;
// a snapshot still waiting when a newer one comes is dropped, never written after it.
class SaveWriter {
public:
    using WriteFunction = std::function<bool(const std::string& bytes, std::string& problem)>;

    struct Result {
        std::uint64_t snapshot = 0; // the number submit gave the snapshot written or failed
        bool ok = true;
        std::string problem;
    };

    explicit SaveWriter(WriteFunction write, std::function<void(const Result&)> written = nullptr);

    std::uint64_t submit(std::string bytes);

    Result lastResult() const;

    // Until snapshot `number`, or a newer one, is written or has failed.
    bool waitFor(std::uint64_t number, Worker::Deadline deadline);

    bool finish(Worker::Deadline deadline) { return worker.finish(deadline); }

    void runOnce(std::function<void()> job);

private:
    void writeNewest();

    const WriteFunction write;
    const std::function<void(const Result&)> written;
    mutable std::mutex mutex;
    std::condition_variable finished;
    std::string newest;
    std::uint64_t handedIn = 0;
    bool queued = false; // a job to write `newest` waits on the worker
    Result last;
    Worker worker; // last: it ends first, writing what waits
};
