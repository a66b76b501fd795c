#include "persistence/SaveWriter.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <random>
#include <thread>
#include <tuple>

namespace {

SaveWriter::Deadline in(std::chrono::milliseconds wait) {
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
                EXPECT_TRUE(
                    writer.submitAndWait(std::to_string(snapshot), in(std::chrono::seconds(5))).ok);
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

TEST(SaveWriter, TellsHowTheNewestWriteWentAndWritesWhatWaitsBeforeStopping) {
    std::vector<std::string> written;
    bool failing = true;
    // The write of "c" is held at a gate that opens only once this thread
    // sleeps in the writer's end (joining its thread), so the writer is told
    // to stop while "d" still waits.
    std::promise<void> inFlight;
    std::promise<void> gate;
    std::atomic<bool> ending{false};
    const std::string thisThread = "/proc/self/task/" + std::to_string(::syscall(SYS_gettid));
    std::thread opener([&] {
        const auto asleep = [&] {
            const std::string stat = readFile(thisThread + "/stat");
            return stat.compare(stat.rfind(')') + 2, 1, "S") == 0;
        };
        while (!ending || !asleep()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        gate.set_value();
    });
    // Each result is told once lastResult() gives it, with the one before.
    std::vector<std::string> told;
    SaveWriter* self = nullptr;
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
            [&](const SaveWriter::Result& now, const SaveWriter::Result& before) {
                told.push_back(std::to_string(now.number) + (before.ok ? "+" : "-") +
                               (self->lastResult().number == now.number ? "" : " early"));
            });
        self = &writer;
        const auto text = [](const SaveWriter::Result& result) {
            return std::to_string(result.number) + (result.ok ? "+" : "-") + result.problem;
        };
        EXPECT_EQ(text(writer.submitAndWait("a", in(std::chrono::seconds(5)))), "1-disk full");
        failing = false;
        EXPECT_EQ(text(writer.submitAndWait("b", in(std::chrono::seconds(5)))), "2+");
        EXPECT_EQ(writer.lastResult().number, 2u);
        const std::thread::id caller = std::this_thread::get_id();
        writer.runOnce(
            [&] { written.push_back(caller == std::this_thread::get_id() ? "" : "job"); });
        writer.submit("c");
        inFlight.get_future().wait();
        writer.submit("d");
        ending = true;
    }
    opener.join();
    EXPECT_EQ(written, (std::vector<std::string>{"a", "b", "job", "c", "d"}));
    EXPECT_EQ(told, (std::vector<std::string>{"1+", "2-", "3+", "4+"}));
}

TEST(SaveWriter, AWaitForAHangingDiskGivesUpAtItsDeadlineTheWriteStillCountsAndTheEndLeavesIt) {
    // The writes wait for the disk; held through shared pointers, since a
    // thread left behind outlives the test's own frame.
    auto answer = std::make_shared<std::promise<void>>();
    const std::shared_future<void> disk = answer->get_future().share();
    const auto hanging = [disk](const std::string&, std::string&) { return disk.wait(), true; };
    auto writer = std::make_unique<SaveWriter>(hanging);
    const SaveWriter::Result given = writer->submitAndWait("1", in(std::chrono::milliseconds(300)));
    EXPECT_EQ(std::make_tuple(given.ok, given.problem, given.silent),
              std::make_tuple(false, std::string("the disk has not answered yet"), true));
    EXPECT_FALSE(writer->settled(in(std::chrono::milliseconds(0))).ok);
    EXPECT_TRUE(writer->lastResult().ok) << "nothing failed yet: the write goes on";
    answer->set_value();
    EXPECT_TRUE(writer->settled(in(std::chrono::seconds(10))).ok);
    EXPECT_EQ(writer->lastResult().number, 1u);

    // A game ending while its disk still hangs waits for the write at most a bound.
    auto never = std::make_shared<std::promise<void>>();
    writer = std::make_unique<SaveWriter>(
        [stuck = never->get_future().share()](const std::string&, std::string&) {
            return stuck.wait(), true;
        });
    writer->submit("2");
    const auto ending = std::chrono::steady_clock::now();
    writer.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - ending, 10 * SaveWriter::stopBound); // not forever
    never->set_value(); // the thread left behind ends in its own time
}
