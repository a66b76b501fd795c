#include "platform/StderrLines.hpp"

#include <SFML/System/Err.hpp>

#include <algorithm>
#include <cstdlib>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
#endif

LineWriter::LineWriter(WriteFunction write, std::size_t room)
    : write(std::move(write)), room(room), thread([this] { run(); }) {}

LineWriter::~LineWriter() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_one();
    thread.join();
}

bool LineWriter::tell(std::string line) {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (lines.size() >= room) {
            return false;
        }
        lines.push_back(std::move(line));
    }
    wake.notify_one();
    return true;
}

bool LineWriter::drain(std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> lock(mutex);
    return empty.wait_for(lock, bound, [&] { return lines.empty() && !writing; });
}

void LineWriter::run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return stopping || !lines.empty(); });
        if (lines.empty()) {
            return; // stopping, and nothing left to write
        }
        const std::string line = std::move(lines.front());
        lines.pop_front();
        writing = true;
        lock.unlock();
        write(line);
        lock.lock();
        writing = false;
        if (lines.empty()) {
            empty.notify_all();
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

#ifdef _WIN32

namespace {

LineWriter* stderrWriter = nullptr; // lives until the process ends

// One line to the handle stderr had at the start: as UTF-16 to a console,
// as UTF-8 bytes to anything else.
void writeToStderr(const std::string& line) {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const int size =
            MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring wide(size > 0 ? static_cast<std::size_t>(size) : 0, L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                            size);
        // Windows 7 writes at most some 64 KB at a time, and says how much it did
        for (std::size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
            if (!WriteConsoleW(handle, wide.data() + done, chunk, &written, nullptr) ||
                written == 0) {
                return;
            }
            done += written;
        }
        return;
    }
    for (std::size_t done = 0; done < line.size();) {
        DWORD written = 0;
        if (!WriteFile(handle, line.data() + done, static_cast<DWORD>(line.size() - done), &written,
                       nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

// What a returning main or exit() still has to say gets a moment to be said.
void flushAtExit() {
    flushStderrLines(std::chrono::milliseconds(500));
}

} // namespace

void writeStderrInTheBackground() {
    if (stderrWriter != nullptr) {
        return;
    }
    // Both live until the process ends: a stream may be written to by the
    // last destructor, and the writer's thread may be stuck in a console
    stderrWriter = new LineWriter(writeToStderr);
    auto* const buffer =
        new LineBuffer([](std::string line) { stderrWriter->tell(std::move(line)); });
    std::cerr.rdbuf(buffer);
    sf::err().rdbuf(buffer);
    std::atexit(flushAtExit);
}

bool flushStderrLines(std::chrono::milliseconds bound) {
    return stderrWriter == nullptr || stderrWriter->drain(bound);
}

#else

void writeStderrInTheBackground() {}

bool flushStderrLines(std::chrono::milliseconds) {
    return true;
}

#endif
