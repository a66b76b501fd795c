#include "platform/StderrLines.hpp"
#include "system/Worker.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <ostream>

using namespace std::chrono_literals;

TEST(Worker, AStuckJobHoldsUpNobodyAndTheNewestWaitingJobsRunInOrderOnceFree) {
    std::promise<void> unstick; // a console in Select mode, until Esc
    const std::shared_future<void> stuck = unstick.get_future().share();
    std::promise<void> taken;
    std::future<void> holding = taken.get_future();
    std::vector<std::string> written;
    Worker worker(3);
    const auto line = [&](std::string text) {
        return [&, text] {
            if (written.empty()) {
                taken.set_value();
            }
            stuck.wait();
            written.push_back(text);
        };
    };
    // The worker takes the first line and is stuck; three wait; each line
    // after them pushes the oldest waiting one out, the last word is kept
    std::vector<bool> kept{worker.post(line("0"))};
    holding.wait();
    for (const char* text : {"1", "2", "3", "4", "5"}) {
        kept.push_back(worker.post(line(text)));
    }
    EXPECT_FALSE(worker.finish(std::chrono::steady_clock::now() + 100ms))
        << "finished while the output was stuck";
    EXPECT_EQ(kept, (std::vector<bool>{true, true, true, true, false, false}));
    unstick.set_value();
    EXPECT_TRUE(worker.finish(std::chrono::steady_clock::now() + 10s));
    EXPECT_EQ(written, (std::vector<std::string>{"0", "3", "4", "5"}));
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
