#include "system/WorkerThread.hpp"

#include <utility>

WorkerThread::WorkerThread(std::shared_ptr<WorkerState> shared, std::function<void()> run)
    : state(std::move(shared)) {
    std::promise<void> done;
    ended = done.get_future();
    thread = std::thread([state = state, run = std::move(run), done = std::move(done)]() mutable {
        run();
        done.set_value();
    });
}

WorkerThread::~WorkerThread() {
    stop();
}

void WorkerThread::stop(std::optional<std::chrono::milliseconds> bound) {
    if (!thread.joinable()) {
        return; // stopped already
    }
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->stopping = true;
    }
    state->wake.notify_all();
    if (bound && ended.wait_for(*bound) != std::future_status::ready) {
        thread.detach();
        return;
    }
    thread.join();
}
