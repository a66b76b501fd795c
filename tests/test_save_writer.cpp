#include "persistence/SaveWriter.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <random>
#include <thread>
#include <tuple>

namespace {

Worker::Deadline in(std::chrono::milliseconds wait) {
    return std::chrono::steady_clock::now() + wait;
}

} // namespace

TEST(SaveWriter, WritesNewerSnapshotsOnlyAndAWaitingSaveReturnsWithItsOwnOnTheDisk) {
    std::promise<void> freeDisk;
    const std::shared_future<void> diskFreed = freeDisk.get_future().share();
    std::mutex mutex;
    std::vector<int> written;
    {
        SaveWriter writer([&](const std::string& bytes, std::string&) {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            diskFreed.wait_for(std::chrono::seconds(1)); // held up for a second at most
            const std::lock_guard<std::mutex> lock(mutex);
            written.push_back(std::stoi(bytes));
            return true;
        });
        const auto started = std::chrono::steady_clock::now();
        for (int snapshot = 1; snapshot <= 20; ++snapshot) {
            writer.submit(std::to_string(snapshot));
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500))
            << "handing snapshots over waited for a disk that was held up";
        freeDisk.set_value();

        std::mt19937 rng(11);
        for (int snapshot = 21; snapshot <= 400; ++snapshot) {
            if (rng() % 5 == 0) {
                EXPECT_TRUE(writer.waitFor(writer.submit(std::to_string(snapshot)),
                                           in(std::chrono::seconds(5))));
                const std::lock_guard<std::mutex> lock(mutex);
                ASSERT_EQ(written.back(), snapshot)
                    << "a waiting save returned before its board was written";
            } else {
                writer.submit(std::to_string(snapshot));
            }
        }
    }
    EXPECT_TRUE(std::is_sorted(written.begin(), written.end()) &&
                std::adjacent_find(written.begin(), written.end()) == written.end())
        << "an older snapshot was written after a newer one, or one was written twice";
    EXPECT_EQ(written.back(), 400) << "the newest snapshot was not the last written";
    EXPECT_LT(written.size(), 400u) << "no snapshot was left out for a newer one";
}

TEST(SaveWriter, TellsEachResultInOrderRunsJobsInTurnAndWritesWhatWaitsBeforeItEnds) {
    std::vector<std::string> written;
    std::vector<std::string> told;
    std::atomic<bool> failing{true};
    std::promise<void> inFlight;
    std::promise<void> gate;
    const std::thread::id caller = std::this_thread::get_id();
    {
        SaveWriter writer(
            [&, opened = gate.get_future().share()](const std::string& bytes,
                                                    std::string& problem) {
                written.push_back(bytes);
                if (bytes == "c") {
                    inFlight.set_value();
                    opened.wait();
                }
                problem = "disk full";
                return !failing;
            },
            [&](const SaveWriter::Result& result) {
                told.push_back(std::to_string(result.snapshot) + (result.ok ? "+" : "-") +
                               result.problem);
            });
        const auto text = [](const SaveWriter::Result& result) {
            return std::to_string(result.snapshot) + (result.ok ? "+" : "-") + result.problem;
        };
        EXPECT_TRUE(writer.waitFor(writer.submit("a"), in(std::chrono::seconds(5))));
        EXPECT_EQ(text(writer.lastResult()), "1-disk full");
        failing = false;
        EXPECT_TRUE(writer.waitFor(writer.submit("b"), in(std::chrono::seconds(5))));
        EXPECT_EQ(text(writer.lastResult()), "2+");
        writer.runOnce(
            [&] { written.push_back(caller == std::this_thread::get_id() ? "" : "job"); });
        writer.submit("c");
        inFlight.get_future().wait();
        writer.submit("d");
        writer.submit("e"); // "d" is dropped for it
        gate.set_value();
    }
    EXPECT_EQ(written, (std::vector<std::string>{"a", "b", "job", "c", "e"}));
    EXPECT_EQ(told, (std::vector<std::string>{"1-disk full", "2+", "3+", "5+"}));
}

TEST(SaveWriter, AWaitForAHangingDiskGivesUpAtItsDeadlineAndTheWriteStillCounts) {
    std::promise<void> answer;
    const std::shared_future<void> disk = answer.get_future().share();
    SaveWriter writer([disk](const std::string&, std::string&) { return disk.wait(), true; });
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(writer.waitFor(writer.submit("1"), in(std::chrono::milliseconds(300))));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
    EXPECT_FALSE(writer.finish(in(std::chrono::milliseconds(0))));
    EXPECT_EQ(writer.lastResult().snapshot, 0u) << "nothing finished yet: the write goes on";
    answer.set_value();
    EXPECT_TRUE(writer.waitFor(1, in(std::chrono::seconds(10))));
    EXPECT_TRUE(writer.lastResult().ok);
    EXPECT_TRUE(writer.finish(in(std::chrono::seconds(10))));
}
