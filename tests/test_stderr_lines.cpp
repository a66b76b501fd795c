#include "platform/StderrLines.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <ostream>

using namespace std::chrono_literals;

TEST(LineWriter, AStuckOutputHoldsUpNobodyAndKeepsItsOrderOnceFree) {
    std::promise<void> unstick; // a console in Select mode, until Esc
    const std::shared_future<void> stuck = unstick.get_future().share();
    std::promise<void> taken;
    std::future<void> holding = taken.get_future();
    std::vector<std::string> written;
    LineWriter writer(
        [&](const std::string& line) {
            if (written.empty()) {
                taken.set_value();
            }
            stuck.wait();
            written.push_back(line);
        },
        3);
    // The writer takes the first line and is stuck; three wait; each line
    // after them pushes the oldest waiting one out, the last word is kept
    std::vector<bool> kept{writer.tell("0\n")};
    holding.wait();
    for (const char* line : {"1\n", "2\n", "3\n", "4\n", "5\n"}) {
        kept.push_back(writer.tell(line));
    }
    EXPECT_FALSE(writer.drain(100ms)) << "drained while the output was stuck";
    EXPECT_EQ(kept, (std::vector<bool>{true, true, true, true, false, false}));
    unstick.set_value();
    EXPECT_TRUE(writer.drain(10s));
    EXPECT_EQ(written, (std::vector<std::string>{"0\n", "3\n", "4\n", "5\n"}));
}

TEST(LineBuffer, EachThreadsLinesArriveWholeHoweverTheyAreWrittenAndFlushed) {
    std::mutex mutex;
    std::vector<std::string> lines;
    LineBuffer buffer([&](std::string line) {
        const std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(std::move(line));
    });
    std::ostream stream(&buffer);
    stream << std::unitbuf; // flushed after every piece, as std::cerr is
    std::atomic<int> ready{0};
    const auto say = [&](char who) {
        for (++ready; ready < 2;) {
        }
        for (int i = 0; i < 1000; ++i) {
            stream << who << ' ';
            std::this_thread::yield(); // the other thread's text may come here
            stream << i << " J\xC3\xB6rg\n";
        }
    };
    std::thread other(say, 'b');
    say('a');
    other.join();
    stream << "two\nlines\n"
           << "and half";
    ASSERT_EQ(lines.size(), 2002u);
    int next[2] = {0, 0};
    for (std::size_t i = 0; i < 2000; ++i) {
        EXPECT_EQ(lines[i].substr(2),
                  std::to_string(next[lines[i][0] == 'a' ? 0 : 1]++) + " J\xC3\xB6rg\n");
    }
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2000, lines.end()),
              (std::vector<std::string>{"two\n", "lines\n"}));
}
