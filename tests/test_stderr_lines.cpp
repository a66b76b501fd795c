#include "platform/StderrLines.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

// An output that blocks until let go, as a console in Select mode does.
struct StuckOutput {
    std::mutex mutex;
    std::condition_variable letGo;
    bool stuck = true;
    std::vector<std::string> written;

    void write(const std::string& line) {
        std::unique_lock<std::mutex> lock(mutex);
        letGo.wait(lock, [&] { return !stuck; });
        written.push_back(line);
    }
    void unstick() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stuck = false;
        }
        letGo.notify_all();
    }
};

TEST(LineWriter, AStuckOutputHoldsUpNobodyAndKeepsItsOrderOnceFree) {
    StuckOutput output;
    LineWriter writer([&](const std::string& line) { output.write(line); }, 3);
    const auto began = std::chrono::steady_clock::now();
    // The first line is taken by the stuck write; three wait; the rest are dropped
    std::vector<bool> kept;
    for (int i = 0; i < 6; ++i) {
        kept.push_back(writer.tell("line " + std::to_string(i) + "\n"));
        std::this_thread::sleep_for(i == 0 ? 50ms : 0ms); // the writer takes the first
    }
    EXPECT_FALSE(writer.drain(100ms)) << "drained while the output was stuck";
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2s) << "a tell or the drain waited";
    EXPECT_EQ(kept, (std::vector<bool>{true, true, true, true, false, false}));

    output.unstick();
    EXPECT_TRUE(writer.drain(10s));
    EXPECT_EQ(output.written,
              (std::vector<std::string>{"line 0\n", "line 1\n", "line 2\n", "line 3\n"}));
}

TEST(LineBuffer, EachThreadsLinesArriveWholeHoweverTheyAreWrittenAndFlushed) {
    std::mutex mutex;
    std::vector<std::string> lines;
    LineBuffer buffer([&](std::string line) {
        const std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(std::move(line));
    });
    // As std::cerr writes: flushed after every piece
    std::ostream stream(&buffer);
    stream << std::unitbuf;
    std::atomic<int> ready{0};
    const auto say = [&](char who) {
        for (++ready; ready < 2;) {
        }
        for (int i = 0; i < 1000; ++i) {
            stream << "Tangleroot: " << who << ' ';
            std::this_thread::yield(); // the other thread's text may come here
            stream << i << " (J\xC3\xB6rg)" << '\n';
        }
    };
    std::thread other(say, 'b');
    say('a');
    other.join();
    stream << "two\nlines at once\n"
           << "and half";

    ASSERT_EQ(lines.size(), 2002u);
    int a = 0;
    int b = 0;
    for (std::size_t i = 0; i < 2000; ++i) {
        int& next = lines[i][12] == 'a' ? a : b;
        EXPECT_EQ(lines[i].substr(14), std::to_string(next++) + " (J\xC3\xB6rg)\n") << lines[i];
    }
    EXPECT_EQ(a, 1000);
    EXPECT_EQ(b, 1000);
    EXPECT_EQ(lines[2000], "two\n");
    EXPECT_EQ(lines[2001], "lines at once\n");
}
