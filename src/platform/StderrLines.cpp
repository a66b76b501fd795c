#include "platform/StderrLines.hpp"

#include <algorithm>

LineWriter::LineWriter(WriteFunction write, std::size_t room)
    : shared(std::make_shared<Shared>(std::move(write), room)),
      thread(shared, [shared = shared] { run(*shared); }) {}

bool LineWriter::tell(std::string line) {
    bool dropped = false;
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        if (shared->lines.size() >= shared->room) {
            if (shared->lines.empty()) {
                return false; // room for none: this line is the one dropped
            }
            // The oldest waiting line makes room: the newest is most often
            // the last word on what went wrong
            shared->lines.pop_front();
            dropped = true;
        }
        shared->lines.push_back(std::move(line));
    }
    shared->wake.notify_one();
    return !dropped;
}

bool LineWriter::drain(std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    return shared->empty.wait_for(lock, bound,
                                  [&] { return shared->lines.empty() && !shared->writing; });
}

void LineWriter::run(Shared& shared) {
    std::unique_lock<std::mutex> lock(shared.mutex);
    for (;;) {
        shared.wake.wait(lock, [&] { return shared.stopping || !shared.lines.empty(); });
        if (shared.lines.empty()) {
            return; // stopping, and nothing left to write
        }
        const std::string line = std::move(shared.lines.front());
        shared.lines.pop_front();
        shared.writing = true;
        lock.unlock();
        shared.write(line);
        lock.lock();
        shared.writing = false;
        if (shared.lines.empty()) {
            shared.empty.notify_all();
        }
    }
}

LineBuffer::LineBuffer(std::function<void(std::string)> line) : line(std::move(line)) {}

LineBuffer::int_type LineBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char letter = traits_type::to_char_type(c);
    xsputn(&letter, 1);
    return c;
}

std::streamsize LineBuffer::xsputn(const char* text, std::streamsize count) {
    std::string whole;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        std::string& mine = pending[std::this_thread::get_id()];
        mine.append(text, static_cast<std::size_t>(count));
        const std::size_t end = mine.rfind('\n');
        if (end == std::string::npos) {
            return count;
        }
        whole = mine.substr(0, end + 1);
        mine.erase(0, end + 1);
        if (mine.empty()) {
            pending.erase(std::this_thread::get_id()); // a thread that ended leaves nothing
        }
    }
    // One call per line, so each line is written whole or dropped whole
    for (std::size_t start = 0; start < whole.size();) {
        const std::size_t end = whole.find('\n', start) + 1;
        line(whole.substr(start, end - start));
        start = end;
    }
    return count;
}
