#include "game/Saving.hpp"
#include "game/Startup.hpp"
#include "persistence/SaveFile.hpp"
#include "support.hpp"

#include <SFML/System/Sleep.hpp>
#include <SFML/Window/Window.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>

namespace {

// A writer whose disk can be made to fail, and which keeps what it wrote.
class Saving : public ::testing::Test {
protected:
    void SetUp() override {
        useGameTextures();
        spiders = {Spider(2, 10, 20)};
        boxes = {Box(30, 40)};
        state.lastHandedIn = boardSnapshot(spiders, boxes, money);
    }

    std::vector<std::string> written() {
        const std::lock_guard<std::mutex> lock(mutex);
        return disk;
    }
    // Lets the writer finish what it was handed, and the game see how it went.
    void settle() {
        sf::sleep(sf::milliseconds(100));
        autosave(spiders, boxes, money, writer, state);
    }

    std::vector<Spider> spiders;
    std::vector<Box> boxes;
    int money = 0;
    std::atomic<bool> failing{false};
    std::mutex mutex;
    std::vector<std::string> disk;
    SaveWriter writer{[this](const std::string& bytes, std::string& problem) {
        if (failing) {
            problem = "no space left";
            return false;
        }
        const std::lock_guard<std::mutex> lock(mutex);
        disk.push_back(bytes);
        return true;
    }};
    SaveState state;
};

} // namespace

TEST_F(Saving, AChangeIsSavedOnceTheIntervalIsUpAndAnUnchangedBoardIsNot) {
    money = 5;
    autosave(spiders, boxes, money, writer, state);
    settle();
    EXPECT_TRUE(written().empty()) << "saved before the interval was up";

    sf::sleep(autosaveInterval);
    autosave(spiders, boxes, money, writer, state);
    settle();
    EXPECT_EQ(written(), std::vector<std::string>{boardSnapshot(spiders, boxes, money)});
    ++money;
    autosave(spiders, boxes, money, writer, state);
    settle();
    EXPECT_EQ(written().size(), 1u) << "the interval did not start again";
    --money;

    autosave(spiders, boxes, money, writer, state, true);
    settle();
    EXPECT_EQ(written().size(), 1u) << "an unchanged board was written again";

    boxes.emplace_back(50, 60);
    autosave(spiders, boxes, money, writer, state, true);
    settle();
    EXPECT_EQ(written().size(), 2u) << "a new box waited for the interval";
}

TEST_F(Saving, AFailedCloseKeepsTheWindowOpenWithANoticeThatASuccessfulSaveClears) {
    sf::Window window(sf::VideoMode(10, 10), "saving");
    failing = true;
    ::testing::internal::CaptureStderr();
    handleCloseRequest(window, spiders, boxes, money, writer, state);
    autosave(spiders, boxes, money, writer, state, true); // fails the same way: told once
    settle();
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(window.isOpen());
    EXPECT_NE(state.notice.find("no space left"), std::string::npos) << state.notice;
    EXPECT_NE(state.notice.find("Close the window again"), std::string::npos) << state.notice;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;

    failing = false;
    autosave(spiders, boxes, money, writer, state, true); // the same board: tried again
    settle();
    EXPECT_EQ(state.notice, "");
    EXPECT_EQ(written().size(), 1u);

    failing = true;
    handleCloseRequest(window, spiders, boxes, money, writer, state);
    EXPECT_TRUE(window.isOpen());
    handleCloseRequest(window, spiders, boxes, money, writer, state);
    EXPECT_FALSE(window.isOpen()) << "a second close quits without saving";
    EXPECT_EQ(exitStatus(state), 1);
}

TEST_F(Saving, AnEndFromOutsideOrAnErrorKeepsTheBoardFirst) {
    sf::Window window(sf::VideoMode(10, 10), "saving");
    money = 76;
    endOnRequest(window, spiders, boxes, money, writer, state);
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(written(), std::vector<std::string>{boardSnapshot(spiders, boxes, money)});

    ::testing::internal::CaptureStderr();
    money = 77;
    EXPECT_EQ(
        endAfterError(std::runtime_error("out of pictures"), spiders, boxes, money, writer, state),
        1);
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(written().back(), boardSnapshot(spiders, boxes, money));
    EXPECT_EQ(message, "Tangleroot cannot go on: out of pictures\n");
}

TEST(FolderLock, KeepsASecondGameOutUntilTheFirstEnds) {
    const ScratchFolder scratch;
    {
        const FolderLock first("tangleroot.lock");
        ASSERT_TRUE(first.held()) << first.problem();
        EXPECT_NO_THROW(requireFolderLock(first, "tangleroot.lock"));
        const FolderLock second("tangleroot.lock");
        EXPECT_FALSE(second.held());
        EXPECT_TRUE(second.heldElsewhere());
        EXPECT_THROW(requireFolderLock(second, "tangleroot.lock"), StartupError);
    }
    const FolderLock again("tangleroot.lock");
    EXPECT_TRUE(again.held()) << "the lock outlived its game";

    const FolderLock nowhere("no/such/folder/tangleroot.lock");
    EXPECT_FALSE(nowhere.held() || nowhere.heldElsewhere());
    EXPECT_FALSE(nowhere.problem().empty());
}
