#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <streambuf>
#include <string>
#include <thread>

// A stream buffer that hands each whole line written to it, '\n' included,
// to `line`; each thread's text is kept apart until its line is whole, so
// lines from two threads never mix. A flush hands nothing on.
class LineBuffer : public std::streambuf {
public:
    explicit LineBuffer(std::function<void(std::string)> line);

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;

private:
    std::function<void(std::string)> line;
    std::mutex mutex;
    std::map<std::thread::id, std::string> pending;
};
