#include "platform/StderrLines.hpp"

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
        whole = mine.substr(0, mine.rfind('\n') + 1); // npos + 1: nothing
        mine.erase(0, whole.size());
        if (mine.empty()) {
            pending.erase(std::this_thread::get_id()); // a thread that ended leaves nothing
        }
    }
    // One call per line, so each line is written whole or dropped whole
    for (std::size_t start = 0, end = 0; start < whole.size(); start = end) {
        end = whole.find('\n', start) + 1;
        line(whole.substr(start, end - start));
    }
    return count;
}
