#include "system/Worker.hpp"

Worker::Worker(std::size_t room) : room(room), thread([this] { run(); }) {}

Worker::~Worker() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
}

bool Worker::post(std::function<void()> job) {
    const std::lock_guard<std::mutex> lock(mutex);
    const bool kept = jobs.size() < room;
    if (!kept) {
        jobs.pop_front();
    }
    jobs.push_back(std::move(job));
    wake.notify_one();
    return kept;
}

bool Worker::finish(Deadline deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    return idle.wait_until(lock, deadline, [&] { return jobs.empty() && !busy; });
}

void Worker::run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return stopping || !jobs.empty(); });
        if (jobs.empty()) {
            return;
        }
        const std::function<void()> job = std::move(jobs.front());
        jobs.pop_front();
        busy = true;
        lock.unlock();
        job();
        lock.lock();
        busy = false;
        if (jobs.empty()) {
            idle.notify_all();
        }
    }
}
