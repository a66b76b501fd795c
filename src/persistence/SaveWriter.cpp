#include "persistence/SaveWriter.hpp"

#include <utility>

SaveWriter::SaveWriter(WriteFunction write, ResultFunction told, std::chrono::milliseconds patience)
    : write(std::move(write)), told(std::move(told)), patience(patience),
      thread([this] { run(); }) {}

SaveWriter::~SaveWriter() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_one();
    thread.join();
}

std::uint64_t SaveWriter::handOver(std::string bytes) {
    std::uint64_t number = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        waiting = std::move(bytes);
        number = ++handedIn;
    }
    wake.notify_one();
    return number;
}

void SaveWriter::submit(std::string bytes) {
    handOver(std::move(bytes));
}

SaveWriter::Result SaveWriter::submitAndWait(std::string bytes) {
    return waitFor(handOver(std::move(bytes)));
}

SaveWriter::Result SaveWriter::waitFor(std::uint64_t number) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!finished.wait_for(lock, patience, [&] { return done >= number; })) {
        return {last.number, false, "the disk has not answered yet"};
    }
    return last;
}

SaveWriter::Result SaveWriter::lastResult() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return last;
}

SaveWriter::Result SaveWriter::settled() {
    std::uint64_t newest = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        newest = handedIn;
    }
    return waitFor(newest);
}

void SaveWriter::runOnce(std::function<void()> job) {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        jobs.push_back(std::move(job));
    }
    wake.notify_one();
}

void SaveWriter::run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return stopping || done < handedIn || !jobs.empty(); });
        if (!jobs.empty()) {
            const std::function<void()> job = std::move(jobs.front());
            jobs.erase(jobs.begin());
            lock.unlock();
            job();
            lock.lock();
            continue;
        }
        if (done == handedIn) {
            return; // stopping, and nothing left to write
        }
        const std::uint64_t number = handedIn;
        const std::string bytes = std::move(waiting);
        lock.unlock();
        std::string problem;
        const bool ok = write(bytes, problem);
        lock.lock();
        done = number;
        const Result before = last;
        last = {last.number + 1, ok, ok ? std::string() : problem};
        finished.notify_all();
        if (told) {
            const Result now = last;
            lock.unlock();
            told(now, before);
            lock.lock();
        }
    }
}
