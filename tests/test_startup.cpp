#include "game/Startup.hpp"
#include "platform/Console.hpp"
#include "platform/EndRequests.hpp"
#include "platform/FolderLock.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <tuple>

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>

TEST(Startup, EachCheckRefusesInTurnAndAFolderHoldsOneGameAtATime) {
    const ScratchFolder scratch;
    const std::string display = std::getenv("DISPLAY");
    std::optional<FolderLock> other;
    const std::tuple<std::function<void()>, const char*, std::string> steps[] = {
        {[] {}, "tangleroot.lock", "texture folder not found"},
        {[] { std::filesystem::create_directory("textures"); }, "tangleroot.lock",
         "font not found"},
        {[] {
             EXPECT_FALSE(std::filesystem::exists("tangleroot.lock"))
                 << "written in another folder";
             writeFile("font.ttf", "");
         },
         "no/such/tangleroot.lock", std::strerror(ENOENT)},
        {[&] { other.emplace("tangleroot.lock"); }, "tangleroot.lock", "already running"},
        {[&] { other.reset(), setenv("DISPLAY", "", 1); }, "tangleroot.lock", "needs a desktop"},
        {[&] { setenv("DISPLAY", display.c_str(), 1); }, "tangleroot.lock", ""},
    };
    for (const auto& [before, lockFile, refusal] : steps) {
        before();
        std::string refused;
        try {
            std::optional<FolderLock> lock;
            checkStart("textures", "font.ttf", lockFile, lock);
        } catch (const StartupError& error) {
            refused = error.what();
        }
        EXPECT_EQ(refused.empty(), refusal.empty()) << refused;
        EXPECT_NE(refused.find(refusal), std::string::npos) << refused;
    }
}

// What Xlib does when the connection to the X server dies.
void loseTheDisplay() {
    XSetIOErrorHandler(nullptr)(nullptr);
}

TEST(Console, AMessageBoxOnlyWhereNobodyReadsStderr) {
    // Started detached, by a double-click, from a command prompt; read by a
    // launcher through a pipe, kept in a log file.
    EXPECT_EQ(std::vector<bool>({stderrGoesUnread(0, false), stderrGoesUnread(1, false),
                                 stderrGoesUnread(2, false), stderrGoesUnread(0, true),
                                 stderrGoesUnread(1, true)}),
              std::vector<bool>({true, true, false, false, false}));
}

TEST(EndRequests, SignalsAskForTheEndUnlessIgnoredAndALostDisplaySavesFirst) {
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe"; // the writer has threads running
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN); // as under nohup
            listenForEndRequests();
            std::raise(SIGHUP);
            const bool hungUp = endRequested();
            std::raise(SIGTERM);
            std::_Exit(!hungUp && endRequested() ? 7 : 0);
        },
        ::testing::ExitedWithCode(7), "");
    // A save that works, one that fails, and one that no longer waits.
    const std::function<bool()> works = [] { return true; };
    const std::function<bool()> fails = []() -> bool { throw std::runtime_error("no room"); };
    for (const auto& [save, waits, told] :
         {std::tuple(works, true, "was saved"), std::tuple(fails, true, "was not saved"),
          std::tuple(works, false, "was not saved")}) {
        EXPECT_EXIT(
            {
                listenForEndRequests();
                std::optional<SaveBeforeTheEnd> end(std::in_place, 0, save);
                if (!waits) {
                    end.reset();
                }
                loseTheDisplay();
            },
            ::testing::ExitedWithCode(1),
            std::string("display was lost; the board ") + told + "\n");
    }
}
