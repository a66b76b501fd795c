#include "game/Phases.hpp"
#include "game/Saving.hpp"
#include "persistence/SaveFile.hpp"
#include "support.hpp"

#include <SFML/System/Sleep.hpp>
#include <SFML/Window/Window.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace {

// Saving over a disk that can be made to fail, and which keeps what it wrote.
class SavingTest : public ::testing::Test {
protected:
    void SetUp() override {
        useGameTextures();
        spiders = {Spider(2, 10, 20)};
        boxes = {Box(30, 40)};
        saving = std::make_unique<Saving>(
            [this](const std::string& bytes, std::string& problem) {
                const std::lock_guard<std::mutex> lock(mutex);
                ++attempts;
                sf::sleep(sf::milliseconds(slow ? 300 : 0));
                if (failing) {
                    problem = cause;
                    return false;
                }
                disk.push_back(bytes);
                return true;
            },
            boardSnapshot(spiders, boxes, money), [this] { return clock; });
    }

    std::vector<std::string> written() {
        const std::lock_guard<std::mutex> lock(mutex);
        return disk;
    }
    // Waits until the writer has tried `count` writes, then lets saving see how they went.
    void settle(int count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (attempts < count && std::chrono::steady_clock::now() < deadline) {
            sf::sleep(sf::milliseconds(2));
        }
        ASSERT_EQ(attempts, count);
        saving->settle(std::chrono::steady_clock::now() + std::chrono::seconds(5)); // taken in
        saving->autosave(spiders, boxes, money);
    }

    std::vector<Spider> spiders;
    std::vector<Box> boxes;
    int money = 0;
    std::mutex mutex;
    std::atomic<bool> failing{false};
    std::atomic<bool> slow{false};
    std::atomic<int> attempts{0};
    std::vector<std::string> disk;
    std::string cause = "no space left"; // why writes fail while failing
    sf::Time clock;                      // saving's, moved on by hand
    std::unique_ptr<Saving> saving;
};

} // namespace

TEST(AutosaveCadence, WanderingWaitsThirtySecondsThePlayerTwoAndANewBoxNone) {
    const auto at = [](float seconds) { return sf::seconds(seconds); };
    AutosaveCadence cadence;
    cadence.note(Change::wandering, at(1));
    EXPECT_FALSE(cadence.due(at(29.9f)));
    EXPECT_TRUE(cadence.due(at(30)));
    cadence.looked(at(30.5f));
    EXPECT_EQ(cadence.nextSave(), at(60.5f));

    cadence.note(Change::byPlayer, at(31));
    cadence.note(Change::byPlayer, at(32)); // more play does not put it off
    cadence.note(Change::wandering, at(32.5f));
    EXPECT_EQ(cadence.nextSave(), at(31) + autosaveInterval);
    cadence.note(Change::newBox, at(32.7f));
    EXPECT_TRUE(cadence.due(at(32.7f)));
    cadence.looked(at(32.7f));
    cadence.note(Change::byPlayer, at(62.7f) - autosaveInterval + at(0.1f));
    EXPECT_EQ(cadence.nextSave(), at(62.7f)) << "a look already due sooner is kept";
}

TEST_F(SavingTest, PlayIsSavedWithinTwoSecondsWanderingLaterAndAnUnchangedBoardNever) {
    money = 5; // as wandering earns: not within 2 seconds
    saving->autosave(spiders, boxes, money, Change::byPlayer);
    EXPECT_GT(saving->untilAutosave(), autosaveInterval - sf::milliseconds(100));
    EXPECT_LE(saving->untilAutosave(), autosaveInterval);
    EXPECT_LE(autosaveInterval, sf::milliseconds(1500)) << "the write's own time within 2 s";
    clock += autosaveInterval - sf::milliseconds(100);
    saving->autosave(spiders, boxes, money); // too soon: not handed in
    sf::sleep(sf::milliseconds(200));
    EXPECT_EQ(attempts, 0);
    clock += sf::milliseconds(100);
    saving->autosave(spiders, boxes, money);
    settle(1);
    EXPECT_EQ(written(), std::vector<std::string>{boardSnapshot(spiders, boxes, money)});
    EXPECT_GT(saving->untilAutosave(), wanderingSaveInterval - sf::seconds(1));

    ++money;
    clock += autosaveInterval;
    saving->autosave(spiders, boxes, money);
    sf::sleep(sf::milliseconds(200)); // time enough to write it, were it handed in
    EXPECT_EQ(attempts, 1) << "wandering saved as soon as play";
    saving->autosave(spiders, boxes, money, Change::newBox);
    settle(2);
    EXPECT_EQ(written().back(), boardSnapshot(spiders, boxes, money));

    saving->autosave(spiders, boxes, money, Change::newBox); // unchanged
    sf::sleep(sf::milliseconds(200));
    EXPECT_EQ(attempts, 2) << "an unchanged board written";
    EXPECT_GT(saving->untilAutosave(), wanderingSaveInterval - sf::seconds(1))
        << "an unchanged board is looked at again only after the wandering wait";
    boxes.emplace_back(50, 60);
    saving->autosave(spiders, boxes, money, Change::newBox);
    settle(3);
    EXPECT_EQ(written()[2], boardSnapshot(spiders, boxes, money));

    // A save that failed is tried again within 2 seconds.
    failing = true;
    ++money;
    ::testing::internal::CaptureStderr();
    saving->autosave(spiders, boxes, money, Change::newBox);
    settle(4);
    ::testing::internal::GetCapturedStderr();
    EXPECT_GT(saving->untilAutosave(), autosaveInterval - sf::milliseconds(100));
    EXPECT_LE(saving->untilAutosave(), autosaveInterval);
}

TEST_F(SavingTest,
       FailedAutosavesShowALineUntilASaveSucceedsEvenOfTheSameBoardAndTellEachCauseOnce) {
    failing = true;
    money = 3;
    ::testing::internal::CaptureStderr();
    saving->autosave(spiders, boxes, money, Change::newBox);
    settle(1);
    saving->autosave(spiders, boxes, money, Change::newBox); // fails the same way: told once
    settle(2);
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(told, notSavedLine("no space left") + "\n");
    EXPECT_EQ(saving->failureLine(), "The board is not being saved: no space left");
    EXPECT_EQ(saving->notice(), "") << "the close notice is for a close only";
    sf::Window window(sf::VideoMode(10, 10), "saving");
    saving->closeRequested(window, spiders, boxes, money);
    EXPECT_NE(saving->notice(), "");
    saving->noticeOnScreen();
    clock += noticeReadTime; // read, but a save that works makes it over

    failing = false;
    saving->autosave(spiders, boxes, money, Change::newBox); // the same board, tried again
    settle(4);
    EXPECT_EQ(saving->failureLine(), "");
    EXPECT_EQ(saving->notice(), "") << "a save that worked left the close notice";
    EXPECT_EQ(written(), std::vector<std::string>{boardSnapshot(spiders, boxes, money)});

    failing = true;
    ++money;
    ::testing::internal::CaptureStderr();
    saving->autosave(spiders, boxes, money, Change::newBox);
    settle(5);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), told)
        << "the same cause after a success is not told again";
    sf::Window again(sf::VideoMode(10, 10), "saving");
    saving->closeRequested(again, spiders, boxes, money);
    EXPECT_TRUE(again.isOpen()) << "an old notice counted as read for the new failure";

    // A new cause while saves still fail (a folder where save.json was) is told too, once.
    {
        const std::lock_guard<std::mutex> lock(mutex);
        cause = "cannot replace save.json: Is a directory";
    }
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(saving->saveNow(spiders, boxes, ++money));
    EXPECT_FALSE(saving->saveNow(spiders, boxes, ++money));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), notSavedLine(cause) + "\n");
    EXPECT_EQ(saving->failureLine(), "The board is not being saved: " + cause);
}

TEST_F(SavingTest, ASecondCloseQuitsUnsavedOnlyOnceTheNoticeWasOnScreenForASecond) {
    sf::Window window(sf::VideoMode(10, 10), "saving");
    failing = true;
    ::testing::internal::CaptureStderr();
    saving->autosave(spiders, boxes, ++money, Change::newBox);
    settle(1);
    saving->noticeOnScreen(); // only the failure line shows yet
    saving->closeRequested(window, spiders, boxes, money);
    EXPECT_TRUE(window.isOpen());
    EXPECT_NE(saving->notice().find("no space left"), std::string::npos) << saving->notice();
    EXPECT_NE(saving->notice().find("Close the window again"), std::string::npos);

    // Queued before the notice was ever drawn, however late: a first close again.
    clock += sf::seconds(1);
    saving->closeRequested(window, spiders, boxes, money);
    EXPECT_EQ(attempts, 3);
    EXPECT_TRUE(window.isOpen());

    saving->noticeOnScreen();
    clock += sf::milliseconds(999);
    saving->closeRequested(window, spiders, boxes, money); // sooner than a second
    EXPECT_EQ(attempts, 4);
    EXPECT_TRUE(window.isOpen());

    clock += sf::milliseconds(1); // the notice was read: a second close quits
    saving->closeRequested(window, spiders, boxes, money);
    EXPECT_EQ(attempts, 4) << "tried to save once more";
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(saving->exitStatus(), 1);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(
                  "Tangleroot: closed again after the notice; the board was not saved"),
              std::string::npos);
}

TEST_F(SavingTest, ASecondCloseWaitsForTheWriteInFlight) {
    sf::Window window(sf::VideoMode(10, 10), "saving");
    failing = true;
    ::testing::internal::CaptureStderr();
    saving->closeRequested(window, spiders, boxes, money);
    saving->noticeOnScreen();
    clock += noticeReadTime;
    failing = false;
    slow = true; // as a save.json another program holds for a moment
    ++money;
    saving->autosave(spiders, boxes, money, Change::newBox);
    saving->closeRequested(window, spiders, boxes, money);
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(saving->exitStatus(), 0) << "told unsaved as the board reached the disk";
    EXPECT_EQ(written().back(), boardSnapshot(spiders, boxes, money));
}

TEST_F(SavingTest, ABackupThatCannotBeWrittenIsToldAndTheGameGoesOn) {
    const ScratchFolder scratch;
    writeFile("save.json", R"({"money":5})");
    std::filesystem::create_directory("save.json.bak");
    ::testing::internal::CaptureStderr();
    Saving(writeSaveFile, "").startFrom(load(spiders, boxes, money));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Tangleroot: the board the game started from was not kept as save.json.bak "
              "(cannot replace save.json.bak: Is a directory)\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2)
        << "a temporary file left";
}

TEST_F(SavingTest, EachEndSavesTheBoardFirstAndOneThatCannotSaysSoEvenWhenToldAndEndsWithOne) {
    for (const bool fromOutside : {false, true}) {
        sf::Window window(sf::VideoMode(10, 10), "saving");
        fromOutside ? saving->endFromOutside(window, spiders, boxes, ++money)
                    : saving->closeRequested(window, spiders, boxes, ++money);
        EXPECT_FALSE(window.isOpen());
        EXPECT_EQ(saving->notice(), "") << "a close notice for a board that was saved";
        EXPECT_EQ(written().back(), boardSnapshot(spiders, boxes, money));
        EXPECT_EQ(saving->exitStatus(), 0);
    }
    sf::Window window(sf::VideoMode(10, 10), "saving"); // before the capture: SFML may speak
    ::testing::internal::CaptureStderr();
    const std::runtime_error error("out of pictures");
    EXPECT_EQ(saving->endAfterError(error, spiders, boxes, ++money),
              "Tangleroot cannot go on: out of pictures; the board was saved");
    EXPECT_EQ(written().back(), boardSnapshot(spiders, boxes, money));
    failing = true;
    saving->autosave(spiders, boxes, ++money, Change::newBox);
    settle(4);
    saving->endFromOutside(window, spiders, boxes, money);
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(saving->exitStatus(), 1) << "a signal that lost the board ended with 0";
    EXPECT_EQ(saving->endAfterError(error, spiders, boxes, money),
              "Tangleroot cannot go on: out of pictures; the board was not saved");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Tangleroot: the board was not saved (no space left); the previous save is kept\n"
              "Tangleroot: ended from outside; the board was not saved (no space left)\n");
    EXPECT_EQ(attempts, 6);
}

// A disk that hangs (a network share that dropped, a USB disk that stalls):
// a close waits for it once, within its bound, and the notice says so; a
// second close once the notice was read does not wait for it again.
TEST(Saving, AClosePastItsBoundWithTheDiskSilentSaysSoAndTheNextOneDoesNotWait) {
    useGameTextures();
    const std::vector<Spider> spiders{Spider(2, 10, 20)};
    const std::vector<Box> boxes;
    auto answer = std::make_shared<std::promise<void>>(); // outlives the writer's thread
    sf::Time clock;
    Saving saving([disk = answer->get_future().share()](const std::string&,
                                                        std::string&) { return disk.wait(), true; },
                  "", [&] { return clock; }, std::chrono::seconds(2));
    sf::Window window(sf::VideoMode(10, 10), "saving");
    ::testing::internal::CaptureStderr();
    saving.autosave(spiders, boxes, 1, Change::newBox); // the disk hangs on this write
    const auto since = [](std::chrono::steady_clock::time_point start) {
        return std::chrono::steady_clock::now() - start;
    };
    const auto asked = std::chrono::steady_clock::now();
    saving.closeRequested(window, spiders, boxes, 2);
    EXPECT_LT(since(asked), std::chrono::seconds(3)) << "the close waited twice its bound";
    EXPECT_TRUE(window.isOpen());
    // Frames go on as the notice is read: it stays while the disk is silent
    for (int frame = 0; frame < 2; ++frame) {
        saving.autosave(spiders, boxes, 2);
        EXPECT_EQ(saving.notice(), "The board was not saved:\nthe disk has not answered yet\n\n"
                                   "Close the window again to quit without waiting for the disk.");
        saving.noticeOnScreen();
        clock += noticeReadTime;
    }
    const auto again = std::chrono::steady_clock::now();
    saving.closeRequested(window, spiders, boxes, 2);
    EXPECT_LT(since(again), std::chrono::seconds(1)) << "the second close waited again";
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(saving.exitStatus(), 1);
    ::testing::internal::GetCapturedStderr();
    answer->set_value();
}
