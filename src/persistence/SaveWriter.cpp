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

SaveWriter::Work SaveWriter::nextWork() {
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait(lock, [&] { return stopping || done < handedIn || !jobs.empty(); });
    Work work;
    if (!jobs.empty()) {
        work.job = std::move(jobs.front());
        jobs.erase(jobs.begin());
    } else if (done < handedIn) {
        work.number = handedIn;
        work.bytes = std::move(waiting);
    }
    return work;
}

void SaveWriter::run() {
    for (Work work = nextWork(); work.job || work.number > 0; work = nextWork()) {
        if (work.job) {
            work.job();
            continue;
        }
        std::string problem;
        const bool ok = write(work.bytes, problem);
        Result now;
        Result before;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            done = work.number;
            before = last;
            last = {last.number + 1, ok, ok ? std::string() : problem};
            now = last;
            finished.notify_all();
        }
        if (told) {
            told(now, before);
        }
    }
}
