#include "persistence/SaveWriter.hpp"

#include <utility>

SaveWriter::SaveWriter(WriteFunction write, ResultFunction told)
    : shared(std::make_shared<Shared>(std::move(write), std::move(told))),
      thread(shared, [shared = shared] { run(*shared); }) {}

SaveWriter::~SaveWriter() {
    thread.stop(stopBound);
}

std::uint64_t SaveWriter::submit(std::string bytes) {
    std::uint64_t number = 0;
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->waiting = std::move(bytes);
        number = ++shared->handedIn;
    }
    shared->wake.notify_one();
    return number;
}

SaveWriter::Result SaveWriter::submitAndWait(std::string bytes, Deadline deadline) {
    return waitFor(submit(std::move(bytes)), deadline);
}

SaveWriter::Result SaveWriter::waitFor(std::uint64_t number, Deadline deadline) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (!shared->finished.wait_until(lock, deadline, [&] { return shared->done >= number; })) {
        return {shared->last.number, false, "the disk has not answered yet", true};
    }
    return shared->last;
}

SaveWriter::Result SaveWriter::lastResult() const {
    const std::lock_guard<std::mutex> lock(shared->mutex);
    return shared->last;
}

SaveWriter::Result SaveWriter::settled(Deadline deadline) {
    std::uint64_t newest = 0;
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        newest = shared->handedIn;
    }
    return waitFor(newest, deadline);
}

void SaveWriter::runOnce(std::function<void()> job) {
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->jobs.push_back(std::move(job));
    }
    shared->wake.notify_one();
}

void SaveWriter::run(Shared& shared) {
    std::unique_lock<std::mutex> lock(shared.mutex);
    for (;;) {
        shared.wake.wait(lock, [&] {
            return shared.stopping || shared.done < shared.handedIn || !shared.jobs.empty();
        });
        if (!shared.jobs.empty()) {
            const std::function<void()> job = std::move(shared.jobs.front());
            shared.jobs.erase(shared.jobs.begin());
            lock.unlock();
            job();
            lock.lock();
            continue;
        }
        if (shared.done == shared.handedIn) {
            return; // stopping, and nothing left to do
        }
        const std::uint64_t number = shared.handedIn;
        const std::string bytes = std::move(shared.waiting);
        lock.unlock();
        std::string problem;
        const bool ok = shared.write(bytes, problem);
        lock.lock();
        const Result before = shared.last;
        shared.done = number;
        shared.last = {before.number + 1, ok, ok ? std::string() : problem};
        const Result now = shared.last;
        shared.finished.notify_all();
        if (shared.told) {
            lock.unlock();
            shared.told(now, before);
            lock.lock();
        }
    }
}
