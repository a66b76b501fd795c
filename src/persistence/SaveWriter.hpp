#pragma once

#include "system/WorkerThread.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Writes snapshots of the board on a thread of its own, so that a slow flush
// to the disk never holds up a frame. Only the newest snapshot counts: one
// still waiting when a newer one is handed in is dropped, never written after
// it.
class SaveWriter {
public:
    // Puts `bytes` on the disk whole or not at all; on failure says why.
    using WriteFunction = std::function<bool(const std::string& bytes, std::string& problem)>;

    struct Result {
        std::uint64_t number = 0; // how many writes have finished, failed ones too
        bool ok = true;           // how the newest of them went
        std::string problem;
        bool silent = false; // a wait that gave up: the disk has not answered
    };

    using Deadline = std::chrono::steady_clock::time_point;

    // A game that ends with a write stuck (a disk that hangs) waits for it
    // at most this long, then leaves it: the write is atomic, and the next
    // start removes what it left.
    static constexpr std::chrono::milliseconds stopBound = std::chrono::seconds(1);

    // Called on the writer's thread after each write, once its result is
    // what lastResult() returns, with the result before it.
    using ResultFunction = std::function<void(const Result& now, const Result& before)>;

    explicit SaveWriter(WriteFunction write, ResultFunction told = nullptr);
    // Writes what is still waiting, runs the jobs left, then stops the
    // thread; waits at most `stopBound` for that.
    ~SaveWriter();
    SaveWriter(const SaveWriter&) = delete;
    SaveWriter& operator=(const SaveWriter&) = delete;

    // Hands a snapshot over and returns at once, with its number.
    std::uint64_t submit(std::string bytes);

    // Hands a snapshot over and returns once it is on the disk, or once
    // writing it has failed, or at `deadline` with a silent failure saying
    // the disk has not answered (the write goes on, and lastResult() tells
    // how it ended). An end of the game must come in the seconds the system
    // and the player give it, even when a disk hangs.
    Result submitAndWait(std::string bytes, Deadline deadline);

    Result lastResult() const;

    // Waits until every snapshot handed over is on the disk or has failed;
    // returns how the newest of them went. Gives up as submitAndWait does.
    Result settled(Deadline deadline);

    // Runs `job` once on the writer's thread, before the next snapshot, and
    // returns at once: a write of another file that no frame waits for.
    void runOnce(std::function<void()> job);

private:
    // What the thread and the frame loop share; the thread keeps it alive
    // for as long as it runs.
    struct Shared : WorkerState {
        Shared(WriteFunction write, ResultFunction told)
            : write(std::move(write)), told(std::move(told)) {}
        const WriteFunction write;
        const ResultFunction told;
        std::condition_variable finished; // a write is done
        std::string waiting;
        std::vector<std::function<void()>> jobs;
        std::uint64_t handedIn = 0; // snapshots handed over so far
        std::uint64_t done = 0;     // the newest snapshot written or failed
        Result last;
    };

    // Does the work until there is none and the thread is to stop: jobs
    // first, then the newest snapshot, each outside the lock; a write's result
    // is recorded under it, then told.
    static void run(Shared& shared);

    // Waits, until `deadline` at most, until snapshot `number` is written or failed.
    Result waitFor(std::uint64_t number, Deadline deadline);

    std::shared_ptr<Shared> shared;
    WorkerThread thread; // last, so it starts once the rest is ready
};
