#include "game/Phases.hpp"
#include "game/Saving.hpp"
#include "persistence/SaveFile.hpp"
#include "platform/EndRequests.hpp"
#include "support.hpp"

#include <SFML/System/Sleep.hpp>

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
        saving.reset();
        disk.clear();
        attempts = 0;
        failing = false;
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
            spiders, boxes, money, [this] { return clock; });
    }

    std::vector<std::string> written() {
        const std::lock_guard<std::mutex> lock(mutex);
        return disk;
    }
    // Waits until the writer has tried `count` writes, then lets saving see how they went.
    void settle(int count) {
        ASSERT_TRUE(saving->finishWrites(sf::seconds(5)));
        ASSERT_EQ(attempts, count);
        saving->update();
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

// First in this file, before any end is answered in this process: a Windows
// console handler asked again while the error's box is up then tells no loss.
TEST(Saving, AnErrorsEndIsAnsweredOnceItsLineIsTrue) {
    useGameTextures();
    ASSERT_FALSE(endAnswered());
    const std::vector<Spider> spiders;
    const std::vector<Box> boxes;
    const int money = 0;
    Saving saving([](const std::string&, std::string&) { return true; }, spiders, boxes, money);
    EXPECT_EQ(saving.endAfterError(std::runtime_error("out of pictures")),
              "Tangleroot cannot go on: out of pictures; the board was saved");
    EXPECT_TRUE(endAnswered());
}

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
    saving->update(Change::byPlayer);
    EXPECT_GT(saving->untilUpdate(), autosaveInterval - sf::milliseconds(100));
    EXPECT_LE(saving->untilUpdate(), autosaveInterval);
    EXPECT_LE(autosaveInterval, sf::milliseconds(1500)) << "the write's own time within 2 s";
    clock += autosaveInterval - sf::milliseconds(100);
    saving->update(); // too soon: not handed in
    sf::sleep(sf::milliseconds(200));
    EXPECT_EQ(attempts, 0);
    clock += sf::milliseconds(100);
    saving->update();
    settle(1);
    EXPECT_EQ(written(), std::vector<std::string>{boardSnapshot(spiders, boxes, money)});
    EXPECT_GT(saving->untilUpdate(), wanderingSaveInterval - sf::seconds(1));

    ++money;
    clock += autosaveInterval;
    saving->update();
    sf::sleep(sf::milliseconds(200)); // time enough to write it, were it handed in
    EXPECT_EQ(attempts, 1) << "wandering saved as soon as play";
    saving->update(Change::newBox);
    settle(2);
    EXPECT_EQ(written().back(), boardSnapshot(spiders, boxes, money));

    saving->update(Change::newBox); // unchanged
    sf::sleep(sf::milliseconds(200));
    EXPECT_EQ(attempts, 2) << "an unchanged board written";
    EXPECT_GT(saving->untilUpdate(), wanderingSaveInterval - sf::seconds(1))
        << "an unchanged board is looked at again only after the wandering wait";
    boxes.emplace_back(50, 60);
    saving->update(Change::newBox);
    settle(3);
    EXPECT_EQ(written()[2], boardSnapshot(spiders, boxes, money));

    // A save that failed is tried again within 2 seconds.
    failing = true;
    ++money;
    ::testing::internal::CaptureStderr();
    saving->update(Change::newBox);
    settle(4);
    ::testing::internal::GetCapturedStderr();
    EXPECT_GT(saving->untilUpdate(), autosaveInterval - sf::milliseconds(100));
    EXPECT_LE(saving->untilUpdate(), autosaveInterval);
}

TEST_F(SavingTest,
       FailedAutosavesShowALineUntilASaveSucceedsEvenOfTheSameBoardAndTellEachCauseOnce) {
    failing = true;
    money = 3;
    ::testing::internal::CaptureStderr();
    saving->update(Change::newBox);
    settle(1);
    saving->update(Change::newBox); // fails the same way: told once
    settle(2);
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(told, notSavedLine("no space left") + "\n");
    EXPECT_EQ(saving->failureLine(), "The board is not being saved: no space left");
    EXPECT_EQ(saving->notice(), "") << "the close notice is for a close only";

    failing = false;
    saving->update(Change::newBox); // the same board, tried again
    settle(3);
    EXPECT_EQ(saving->failureLine(), "");
    EXPECT_EQ(written(), std::vector<std::string>{boardSnapshot(spiders, boxes, money)});

    failing = true;
    ++money;
    ::testing::internal::CaptureStderr();
    saving->update(Change::newBox);
    settle(4);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), told)
        << "the same cause after a success is not told again";

    // A new cause while saves still fail (a folder where save.json was) is told too, once.
    {
        const std::lock_guard<std::mutex> lock(mutex);
        cause = "cannot replace save.json: Is a directory";
    }
    ::testing::internal::CaptureStderr();
    ++money;
    EXPECT_FALSE(saving->saveNow());
    ++money;
    EXPECT_FALSE(saving->saveNow());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), notSavedLine(cause) + "\n");
    EXPECT_EQ(saving->failureLine(), "The board is not being saved: " + cause);
}

// A close whose write fails: the notice shows, play goes on, and the close
// is kept: a repeat quits only once the notice has been on screen a second,
// and a save that lands meanwhile ends the game, saved.
TEST_F(SavingTest, AFailedCloseShowsTheNoticeAndEndsSavedOnceASaveLandsOrUnsavedWhenAskedAgain) {
    for (const bool diskComesBack : {true, false}) {
        SCOPED_TRACE(diskComesBack);
        SetUp();
        failing = true;
        ::testing::internal::CaptureStderr();
        ++money;
        saving->closeRequested();
        EXPECT_TRUE(saving->playPaused());
        settle(1);
        EXPECT_FALSE(saving->ended());
        EXPECT_FALSE(saving->playPaused()) << "play stayed paused under the notice";
        EXPECT_EQ(saving->notice(), "The board was not saved:\nno space left\n\nThe game ends "
                                    "once it is saved. Close the window again to quit without "
                                    "saving.");

        // Queued before the notice was ever drawn, however late: nothing
        clock += sf::seconds(1);
        saving->closeRequested();
        saving->noticeOnScreen();
        clock += sf::milliseconds(999);
        saving->closeRequested(); // sooner than a second
        EXPECT_FALSE(saving->ended());
        ++money; // played on under the notice

        if (diskComesBack) {
            failing = false;
            clock += autosaveInterval;
            saving->update(Change::byPlayer); // the retry
            settle(2);
            EXPECT_TRUE(saving->ended());
            EXPECT_EQ(saving->exitStatus(), 0);
            EXPECT_EQ(written().back(), boardSnapshot(spiders, boxes, money))
                << "ended on an older board than the one played on";
            EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                      notSavedLine("no space left") + "\n");
        } else {
            clock += sf::milliseconds(1); // the notice was read: a second close quits
            saving->closeRequested();
            EXPECT_TRUE(saving->ended());
            EXPECT_EQ(saving->exitStatus(), 1);
            EXPECT_EQ(attempts, 1) << "tried to save once more";
            EXPECT_NE(::testing::internal::GetCapturedStderr().find(
                          "Tangleroot: closed again after the notice; the board was not saved "
                          "(no space left)"),
                      std::string::npos);
        }
    }
}

TEST_F(SavingTest, ABackupThatCannotBeWrittenIsToldAndTheGameGoesOn) {
    const ScratchFolder scratch;
    writeFile("save.json", R"({"money":5})");
    std::filesystem::create_directory("save.json.bak");
    ::testing::internal::CaptureStderr();
    Saving(writeSaveFile, spiders, boxes, money).startFrom(load(spiders, boxes, money));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Tangleroot: the board the game started from was not kept as save.json.bak "
              "(cannot replace save.json.bak: Is a directory)\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2)
        << "a temporary file left";
}

TEST_F(SavingTest, EachEndSavesTheBoardFirstAndOneThatCannotSaysSoAndEndsWithOne) {
    for (const bool fromOutside : {false, true}) {
        SetUp();
        ++money;
        fromOutside ? saving->endRequested() : saving->closeRequested();
        EXPECT_TRUE(saving->playPaused());
        settle(1);
        EXPECT_TRUE(saving->ended());
        EXPECT_EQ(saving->notice(), "") << "a close notice for a board that was saved";
        EXPECT_EQ(written().back(), boardSnapshot(spiders, boxes, money));
        EXPECT_EQ(saving->exitStatus(), 0);
    }
    ::testing::internal::CaptureStderr();
    const std::runtime_error error("out of pictures");
    ++money;
    EXPECT_EQ(saving->endAfterError(error),
              "Tangleroot cannot go on: out of pictures; the board was saved");
    EXPECT_EQ(written().back(), boardSnapshot(spiders, boxes, money));

    // From outside, a write that keeps failing ends the game at the bound, with one
    // line; the tries within it are kept up
    SetUp();
    failing = true;
    ++money;
    saving->endRequested();
    for (int frame = 0; frame * 100 < endBound.asMilliseconds(); ++frame) {
        EXPECT_FALSE(saving->ended()) << frame;
        EXPECT_EQ(saving->notice(), "");
        clock += sf::milliseconds(100);
        saving->finishWrites(sf::seconds(5));
        saving->update();
    }
    EXPECT_TRUE(saving->ended());
    EXPECT_EQ(saving->exitStatus(), 1) << "a signal that lost the board ended with 0";
    EXPECT_GE(attempts, 3) << "not tried again within the bound";
    EXPECT_EQ(saving->endAfterError(error),
              "Tangleroot cannot go on: out of pictures; the board was not saved");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Tangleroot: the board was not saved (no space left); the previous save is kept\n"
              "Tangleroot: ended from outside; the board was not saved (no space left)\n");
}

// A disk that hangs (a network share that dropped, a USB disk that stalls):
// closes repeated at once change nothing, the loop goes on, the notice
// shows at the bound; once the disk answers the game ends, saved.
TEST(Saving, ACloseOnASilentDiskShowsTheNoticeAtTheBoundAndEndsSavedWhenTheDiskAnswers) {
    useGameTextures();
    for (const bool playedOn : {false, true}) {
        SCOPED_TRACE(playedOn);
        const std::vector<Spider> spiders{Spider(2, 10, 20)};
        const std::vector<Box> boxes;
        int money = 2;
        std::promise<void> answer;
        std::vector<std::string> disk;
        sf::Time clock;
        Saving saving(
            [&, answered = answer.get_future().share()](const std::string& bytes, std::string&) {
                answered.wait();
                disk.push_back(bytes);
                return true;
            },
            spiders, boxes, money, [&] { return clock; });
        const auto asked = std::chrono::steady_clock::now();
        for (int close = 0; close < 5; ++close) {
            saving.closeRequested();
            clock += sf::milliseconds(100);
            saving.update();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1))
            << "a close waited for the disk";
        EXPECT_TRUE(saving.playPaused());
        EXPECT_EQ(saving.notice(), "");
        EXPECT_EQ(saving.untilUpdate(), endBound - sf::milliseconds(500))
            << "no wake for the notice";
        clock += saving.untilUpdate();
        saving.update();
        EXPECT_EQ(saving.notice(), "The board was not saved:\nthe disk has not answered yet\n\nThe "
                                   "game ends once it is saved. Close the window again to quit "
                                   "without saving.");
        EXPECT_FALSE(saving.playPaused());
        if (playedOn) {
            money += 4; // a spider's step under the notice
        }
        answer.set_value();
        for (int write = 0; write < 2 && !saving.ended(); ++write) {
            ASSERT_TRUE(saving.finishWrites(sf::seconds(5)));
            saving.update();
            EXPECT_TRUE(saving.ended() || saving.playPaused()) << "played on past the landed save";
        }
        EXPECT_TRUE(saving.ended());
        EXPECT_EQ(saving.exitStatus(), 0);
        EXPECT_EQ(disk.back(), boardSnapshot(spiders, boxes, money)) << "ended on an older board";
    }
}

TEST_F(SavingTest, AQuitAfterTheNoticeHandsNothingMoreToTheWriter) {
    failing = true;
    ::testing::internal::CaptureStderr();
    saving->closeRequested();
    settle(1);
    saving->noticeOnScreen();
    clock += noticeReadTime + autosaveInterval; // a retry would be due
    saving->closeRequested();
    ++money;
    saving->update(Change::newBox); // the frame the quit came in
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(saving->ended());
    EXPECT_TRUE(saving->finishWrites(sf::seconds(5)));
    EXPECT_EQ(attempts, 1) << "a board handed over after the game ended unsaved";
}
