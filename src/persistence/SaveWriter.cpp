#include "persistence/SaveWriter.hpp"

SaveWriter::SaveWriter(WriteFunction write, std::function<void(const Result&)> written)
    : write(std::move(write)), written(std::move(written)), worker(8) {}

std::uint64_t SaveWriter::submit(std::string bytes) {
    const std::lock_guard<std::mutex> lock(mutex);
    newest = std::move(bytes);
    if (!queued) {
        worker.post([this] { writeNewest(); });
    }
    queued = true;
    return ++handedIn;
}

SaveWriter::Result SaveWriter::lastResult() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return last;
}

bool SaveWriter::waitFor(std::uint64_t number, Worker::Deadline deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    return finished.wait_until(lock, deadline, [&] { return last.snapshot >= number; });
}

void SaveWriter::runOnce(std::function<void()> job) {
    worker.post(std::move(job));
}

void SaveWriter::writeNewest() {
    Result result;
    std::string bytes;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        bytes = std::move(newest);
        result.snapshot = handedIn;
        queued = false;
    }
    result.ok = write(bytes, result.problem);
    if (result.ok) {
        result.problem.clear();
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        last = result;
    }
    finished.notify_all();
    if (written) {
        written(result);
    }
}
