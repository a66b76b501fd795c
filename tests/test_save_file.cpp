#include "game/Messages.hpp"
#include "game/Phases.hpp"
#include "game/Saving.hpp"
#include "persistence/AtomicFile.hpp"
#include "persistence/SaveFile.hpp"
#include "persistence/SystemFiles.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <thread>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// Each test loads into the start board: two boxes, no spiders, no money.
class SaveFile : public ::testing::Test {
protected:
    void SetUp() override {
        useGameTextures();
        boxes = {Box(10, 20), Box(30, 40)};
    }
    ScratchFolder scratch;
    std::vector<Spider> spiders;
    std::vector<Box> boxes;
    int money = 0;
};

std::vector<std::string> folderEntries() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `work` in a child process and returns what it wrote on stderr (through
// a pipe, which no file-size limit applies to).
std::string inChild(const std::function<void()>& work) {
    int pipeEnds[2];
    EXPECT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = fork();
    if (child == 0) {
        ::dup2(pipeEnds[1], 2);
        try {
            work();
        } catch (const std::exception& error) { // never back into the tests' own loop
            std::cerr << error.what();
            _exit(4);
        }
        _exit(0);
    }
    ::close(pipeEnds[1]);
    const std::string text = readFile("/dev/fd/" + std::to_string(pipeEnds[0]));
    ::close(pipeEnds[0]);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return text;
}

// From here on every call of `number` in this process, with all of `bits` in
// its third argument, meets `action`: a filter the kernel applies to the
// process. Returns the filter's listener when `flags` asks for one.
int filterSystemCall(int number, unsigned action, unsigned flags = 0, unsigned bits = 0) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(number), 0, 4),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, bits),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, bits, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, action),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    const long listener = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0
                              ? -1
                              : ::syscall(__NR_seccomp, SECCOMP_SET_MODE_FILTER, flags, &program);
    if (listener < 0) {
        _exit(3);
    }
    return static_cast<int>(listener);
}

// From here on every call of `number` in this process fails with `error`, as
// a failing disk would make it.
void failSystemCall(int number, int error) {
    filterSystemCall(number, SECCOMP_RET_ERRNO | static_cast<unsigned>(error));
}

// Runs `work` in a child whose every call of `number` (with all of `bits` in
// its third argument) waits until another program, a process of its own, has
// run `meanwhile`. That program ends once a second passes with no call.
std::string withAnotherProgram(int number, unsigned bits, const std::function<void()>& meanwhile,
                               const std::function<void()>& work) {
    return inChild([&] {
        const int listener = filterSystemCall(number, SECCOMP_RET_USER_NOTIF,
                                              SECCOMP_FILTER_FLAG_NEW_LISTENER, bits);
        if (fork() == 0) {
            for (pollfd call{listener, POLLIN, 0}; ::poll(&call, 1, 1000) == 1;) {
                seccomp_notif made{};
                if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &made) != 0) {
                    break;
                }
                meanwhile();
                seccomp_notif_resp resume{made.id, 0, 0, SECCOMP_USER_NOTIF_FLAG_CONTINUE};
                ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &resume);
            }
            _exit(0);
        }
        work();
    });
}

void save(const std::vector<Spider>& spiders, const std::vector<Box>& boxes, int money) {
    std::string problem;
    ASSERT_TRUE(writeSaveFile(boardSnapshot(spiders, boxes, money), problem)) << problem;
}

} // namespace

// A hand-edited or damaged file may put a box where nobody can see or break
// it: it comes back at the nearest place on the board.
TEST_F(SaveFile, SaveThenLoadGivesBackTheBoardWithFreshIdsAndEveryBoxOnIt) {
    const sf::FloatRect size = Box(0, 0).sprite.getGlobalBounds();
    const float right = 800 - size.width;
    const float bottom = 800 - size.height;
    const std::pair<sf::Vector2f, sf::Vector2f> moves[] = {
        {{412.5f, 96}, {412.5f, 96}},       {{-500, -500}, {0, 0}},        {{790, 10}, {right, 10}},
        {{right, bottom}, {right, bottom}}, {{100, 1e30f}, {100, bottom}}, {{-0.5f, 400}, {0, 400}},
        {{right + 1, -1}, {right, 0}},
    };
    const std::vector<Spider> saved{Spider(3, 130, 587.75), Spider(1, 0.1, -20),
                                    Spider(12, 799.5, 3)};
    std::vector<Box> savedBoxes;
    for (const auto& [from, to] : moves) {
        savedBoxes.emplace_back(from.x, from.y);
    }
    save(saved, savedBoxes, 1234);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.json"}) << "no temporary file left";

    load(spiders, boxes, money);

    EXPECT_EQ(money, 1234);
    ASSERT_EQ(spiders.size(), saved.size());
    for (std::size_t i = 0; i < saved.size(); ++i) {
        EXPECT_EQ(spiders[i].stage, saved[i].stage);
        EXPECT_EQ(spiders[i].sprite.getPosition(), saved[i].sprite.getPosition());
        EXPECT_NE(spiders[i].id, saved[i].id);
        EXPECT_FALSE(spiders[i].dragging || spiders[i].dropped) << "spider " << i + 1;
    }
    ASSERT_EQ(boxes.size(), std::size(moves));
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].sprite.getPosition(), moves[i].second) << "box " << i + 1;
        EXPECT_NE(boxes[i].id, savedBoxes[i].id);
    }
}

TEST_F(SaveFile, AnUnusableFileOrFolderIsKeptAsideAndNeverOverwritten) {
    const std::string first =
        R"({"spiders":[{"stage":1,"x":1,"y":2}],"boxes":[{"x":3,"y":4},{"x":"?","y":4}],"money":5})";
    writeFile("save.json", first);
    ::testing::internal::CaptureStderr();
    load(spiders, boxes, money);
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile("save.json.unusable-1"), first);
    EXPECT_NE(message.find("save.json.unusable-1"), std::string::npos) << message;
    EXPECT_NE(message.find("box 2"), std::string::npos) << message;

    // A folder in save.json's place takes the next name.
    fs::create_directory("save.json");
    writeFile("save.json/inside", "kept");
    ::testing::internal::CaptureStderr();
    load(spiders, boxes, money);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile("save.json.unusable-1"), first);
    EXPECT_EQ(readFile("save.json.unusable-2/inside"), "kept");

    // A file larger than any board is not read, though it holds one after
    // all that white space.
    writeFile("save.json", std::string(mostSaveBytes, ' ') + R"({"money":5})");
    ::testing::internal::CaptureStderr();
    load(spiders, boxes, money);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("it is larger than 8 MiB"),
              std::string::npos);
    EXPECT_EQ(money, 0);
    EXPECT_EQ(fs::file_size("save.json.unusable-3"), mostSaveBytes + 11);

    // One that cannot be moved aside stops the start, with the system's reason.
    writeFile("save.json", "{");
    const std::string refused = inChild([&] {
        failSystemCall(__NR_renameat2, EACCES);
        try {
            load(spiders, boxes, money);
        } catch (const UnusableSaveFile& error) {
            std::cerr << error.what();
        }
    });
    EXPECT_NE(refused.find(") and cannot be moved aside to save.json.unusable-1 (Permission "
                           "denied); not starting"),
              std::string::npos)
        << refused;
    EXPECT_EQ(readFile("save.json"), "{");
}

// Another program makes save.json.unusable-1 after the load found the name
// free, before save.json is moved there: that file stays, and save.json takes
// the next name, whether the backup's board comes back or a new one starts.
TEST_F(SaveFile, ANameTakenJustBeforeTheMoveGivesWayToTheNext) {
    for (const char* backup : {"", R"({"money":2})"}) {
        SCOPED_TRACE(backup);
        writeFile("save.json", "{");
        if (*backup != 0) {
            writeFile("save.json.bak", backup);
        }
        const std::string told = withAnotherProgram(
            __NR_renameat2, 0, [] { writeFile("save.json.unusable-1", "another program's"); },
            [&] { load(spiders, boxes, money); });
        EXPECT_NE(told.find("), kept as save.json.unusable-2;"), std::string::npos) << told;
        EXPECT_EQ(readFile("save.json.unusable-1"), "another program's");
        EXPECT_EQ(readFile("save.json.unusable-2"), "{");
        for (const std::string& name : folderEntries()) {
            fs::remove(name);
        }
    }
}

// A move never replaces what is at the name it is given, also where the file
// system lacks the rename that refuses to (renameat2 failing as there), and
// hard links (link failing as FUSE mounts and others make it).
TEST_F(SaveFile, AMoveOntoATakenNameSaysSoAndLeavesBothAsTheyWere) {
    const std::pair<int, int> lacking[] = {{0, 0},          {EINVAL, 0},          {ENOSYS, 0},
                                           {EINVAL, EPERM}, {EINVAL, EOPNOTSUPP}, {ENOSYS, ENOSYS}};
    for (const auto& [rename, link] : lacking) {
        SCOPED_TRACE(std::to_string(rename) + " " + std::to_string(link));
        writeFile("save.json", "{");
        writeFile("save.json.unusable-1", "kept");
        fs::create_directory("folder");
        const std::string told = inChild([rename = rename, link = link] {
            if (rename != 0) {
                failSystemCall(__NR_renameat2, rename);
            }
            if (link != 0) {
                failSystemCall(__NR_link, link);
                failSystemCall(__NR_linkat, link);
            }
            const char* const said[] = {"done ", "taken ", "failed "};
            std::string problem;
            for (const auto& [from, to] : {std::pair{"save.json", "save.json.unusable-1"},
                                           {"folder", "save.json.unusable-1"},
                                           {"save.json", "save.json.unusable-2"},
                                           {"folder", "save.json.unusable-3"}}) {
                std::cerr << said[static_cast<int>(moveFile(from, to, problem))];
            }
            std::cerr << problem;
        });
        EXPECT_EQ(told, "taken taken done done ");
        EXPECT_EQ(readFile("save.json.unusable-1"), "kept");
        EXPECT_EQ(readFile("save.json.unusable-2"), "{");
        EXPECT_TRUE(fs::is_directory("save.json.unusable-3"));
        EXPECT_EQ(folderEntries().size(), 3u) << "neither save.json nor folder left";
        fs::remove("save.json.unusable-2");
        fs::remove("save.json.unusable-3");
    }
}

// The temporary file, and so save.json and save.json.bak, have save.json's
// mode from their first byte, whatever the umask: a player who made it
// private or shared keeps it so. A new save.json gets the usual one.
TEST_F(SaveFile, ASaveAndItsBackupHaveTheModeOfSaveJsonFromTheFirstByte) {
    const mode_t mask = ::umask(022);
    const std::string bytes = R"({"money":1})" + std::string(5000, ' '); // 0x1000 in its size
    const auto tellMode = [](const fs::path& path) {
        std::cerr << std::oct << (static_cast<int>(fs::status(path).permissions()) & 0777) << " ";
    };
    const auto tellTemporaryMode = [&] {
        for (const auto& entry : fs::directory_iterator(".")) {
            if (entry.path().string().find(".tmp-") != std::string::npos) {
                tellMode(entry.path());
            }
        }
    };
    const std::tuple<const char*, int, const char*> modes[] = {{"save.json", 0660, "660 660 "},
                                                               {"save.json", 0444, "444 444 "},
                                                               {"save.json", -1, "644 644 "},
                                                               {"save.json.bak", 0600, "600 600 "}};
    for (const auto& [name, before, after] : modes) {
        SCOPED_TRACE(std::string(name) + " " + std::to_string(before));
        if (before >= 0) {
            writeFile("save.json", "{");
            fs::permissions("save.json", fs::perms(before));
        }
        const std::string told = withAnotherProgram(
            __NR_write, 0x1000, tellTemporaryMode, [name = std::string(name), &bytes, &tellMode] {
                std::string problem;
                if (!(name == "save.json"
                          ? writeSaveFile(bytes, problem)
                          : writeBackupFile(bytes, fs::file_time_type::clock::now(), problem))) {
                    std::cerr << problem;
                }
                tellMode(name);
            });
        EXPECT_EQ(told, after);
        EXPECT_EQ(readFile(name), bytes);
        fs::remove("save.json");
        fs::remove("save.json.bak");
    }
    ::umask(mask);
}

TEST_F(SaveFile, ABrokenSaveGivesWayToAGoodBackup) {
    const std::string backup = R"({"money":7,"spiders":[{"stage":4,"x":5,"y":6}]})";
    writeFile("save.json.bak", backup);
    writeFile("save.json", "{");
    ::testing::internal::CaptureStderr();
    load(spiders, boxes, money);
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(told.rfind("Tangleroot: save.json is not a board (it is not JSON: ", 0), 0u) << told;
    EXPECT_NE(told.find("), kept as save.json.unusable-1; the board saved at "), std::string::npos)
        << told;
    EXPECT_NE(told.find(" is back\n"), std::string::npos) << told;

    // When the board cannot be put back, the next start still finds both files.
    writeFile("save.json", "{");
    const std::string failed = inChild([&] {
        failSystemCall(__NR_fsync, EIO);
        try {
            load(spiders, boxes, money);
        } catch (const UnusableSaveFile& error) {
            std::cerr << error.what();
        }
    });
    EXPECT_NE(failed.find("cannot be put back in its place"), std::string::npos) << failed;
    EXPECT_EQ(readFile("save.json"), "{");
    EXPECT_EQ(readFile("save.json.bak"), backup);
    EXPECT_FALSE(fs::exists("save.json.unusable-2")) << "a copy left at each failed start";
}

TEST_F(SaveFile, AKillDuringASaveNeverLeavesAHalfFile) {
    for (int i = 0; i < 300; ++i) {
        spiders.emplace_back(1 + i % 12, i * 1.25, i * 2.5);
    }
    save(spiders, boxes, 0);
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int money = 1;; ++money) {
                save(spiders, boxes, money);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + rng() % 20000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        SavedBoard board;
        std::string problem;
        ASSERT_TRUE(parseBoard(readFile("save.json"), board, problem)) << problem;
        ASSERT_EQ(boardToJson(board), boardSnapshot(spiders, boxes, board.money));
    }
}

// A failing disk leaves every file as it was (an unreadable save.json may
// hold a good board: the load stops), and the player reads the system's reason.
TEST_F(SaveFile, AFailedSaveOrLoadChangesNoFileAndSaysWhy) {
    using Act = std::function<bool(std::string&)>;
    const Act saving = [this](std::string& why) {
        return writeSaveFile(boardSnapshot({}, boxes, 2), why); // more than 20 bytes
    };
    const Act loading = [this](std::string& why) {
        try {
            load(spiders, boxes, money);
        } catch (const UnreadableSaveFile& unreadable) {
            why = unreadable.what();
            return false;
        }
        return true;
    };
    const std::string here = (scratch.path / "save.json").string();
    const std::tuple<std::function<void()>, Act, std::string> failures[] = {
        {[] { // a full disk: writes past 20 bytes fail
             std::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit{20, 20};
             setrlimit(RLIMIT_FSIZE, &limit);
         },
         saving, "cannot write a temporary file beside save.json: File too large"},
        {[] { // a folder an ordinary user cannot write
             fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec);
             if (::geteuid() == 0 && ::setuid(65534) != 0) {
                 _exit(1);
             }
         },
         saving, "cannot create a temporary file beside save.json: Permission denied"},
        {[] { failSystemCall(__NR_fsync, EIO); }, saving,
         "cannot flush a temporary file beside save.json to the disk: Input/output error"},
        {[] { failSystemCall(SYS_openat, EACCES); }, loading,
         here + " cannot be opened: Permission denied"},
        {[] { failSystemCall(SYS_read, EIO); }, loading,
         here + " cannot be read: Input/output error"}};
    for (const auto& failure : failures) {
        SCOPED_TRACE(std::get<2>(failure));
        save({}, {}, 1);
        const std::string problem = inChild([&failure] {
            std::get<0>(failure)();
            std::string why;
            if (std::get<1>(failure)(why)) {
                _exit(2); // reported as a success
            }
            std::cerr << why.substr(0, why.find(';')); // what follows is advice
        });
        fs::permissions(".", fs::perms::owner_all);
        EXPECT_EQ(readFile("save.json"), R"({"money":1})");
        EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.json"});
        EXPECT_EQ(problem, std::get<2>(failure));
    }
}

TEST_F(SaveFile, LeftoverTemporaryFilesGoAndNothingElse) {
    for (const char* name :
         {"save.json", "save.json.tmp-123-0", "save.json.tmp-9-14", "save.json.unusable-1",
          "save.json.bak", "save.json.bak.tmp-123-1", "other.tmp-1"}) {
        writeFile(name, "x");
    }
    removeLeftoverTemporaryFiles();
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"other.tmp-1", "save.json",
                                                         "save.json.bak", "save.json.unusable-1"}));
}

// The start as the game makes it (load, then its backup job) for each pair of
// states of save.json and save.json.bak. Files before and after, in the order
// of `names`: S the save's board, B the backup's, s and k two that are not
// boards, L an unreadable link, D a folder, - none; a board keeps its date. The board
// played is the one save.json holds after, or a new one; the game cannot start
// when an unreadable file is left. `lines` holds the window's line where there
// is one.
TEST_F(SaveFile, EachPairOfFileStatesHasOneAnswer) {
    const char* const names[] = {"save.json", "save.json.bak", "save.json.unusable-1",
                                 "save.json.bak.unusable-1"};
    const std::string kinds = "SBsk-";
    const std::string bytes[] = {R"({"money":1})", R"({"money":2,"spiders":[]})",
                                 "{\"money\":", "{\"money\":\"\"", ""};
    const std::string saveKept = "save.json is not a board (it is not JSON), kept as "
                                 "save.json.unusable-1";
    const std::string backupKept = "save.json.bak is not a board (it is not JSON), kept as "
                                   "save.json.bak.unusable-1; a new board starts";
    const std::string back = "; the board saved at 2025-03-04 05:06 is back";
    const char* const rows[] = {"S- SS--", "SL SS--", "Sk SS--", "SB SS--", "L- L---", "LL LL--",
                                "Lk Lk--", "LB LB--", "-- ----", "-L -L--", "-k ---k", "-B BB--",
                                "s- --s-", "sL sL--", "sk --sk", "sB BBs-", "DB BBD-"};
    const std::map<std::string, std::string> lines{{"-k", "save.json was missing; " + backupKept},
                                                   {"-B", "save.json was missing" + back},
                                                   {"s-", saveKept + "; a new board starts"},
                                                   {"sk", saveKept + "; " + backupKept},
                                                   {"sB", saveKept + back},
                                                   {"DB", "save.json is not a board (it is not a "
                                                          "regular file), kept as "
                                                          "save.json.unusable-1" +
                                                              back}};
    std::tm then{30, 6, 5, 4, 2, 125, 0, 0, -1, 0, nullptr}; // 2025-03-04 05:06:30 here
    const auto savedAt = fs::file_time_type::clock::now() +
                         (std::chrono::system_clock::from_time_t(std::mktime(&then)) -
                          std::chrono::system_clock::now());
    const sf::Font font = gameFont();
    Messages messages(font, TANGLEROOT_ASSETS "/fonts/roboto.ttf");
    for (const std::string row : rows) {
        const std::string before = row.substr(0, 2);
        const std::string after = row.substr(3);
        SCOPED_TRACE(before);
        for (int file = 0; file < 2; ++file) {
            if (before[file] == 'L') {
                fs::create_symlink("elsewhere", names[file]);
            } else if (before[file] == 'D') {
                fs::create_directories(fs::path(names[file]) / "inside");
            } else if (before[file] != '-') {
                writeFile(names[file], bytes[kinds.find(before[file])]);
                fs::last_write_time(names[file], savedAt);
            }
        }
        spiders.clear();
        boxes = {Box(10, 20), Box(30, 40)};
        money = 0;

        bool refused = false;
        std::string window;
        ::testing::internal::CaptureStderr();
        try {
            Saving saving(writeSaveFile, spiders, boxes, money);
            const LoadedSave loaded = load(spiders, boxes, money);
            window = loaded.restoredLine;
            saving.startFrom(loaded);
        } catch (const std::exception& error) {
            std::cerr << error.what() << "\n"; // as the game tells it
            refused = true;
        }
        const std::string told = ::testing::internal::GetCapturedStderr();

        EXPECT_EQ(money, after[0] == 'S' ? 1 : after[0] == 'B' ? 2 : 0);
        EXPECT_EQ(boxes.size(), money == 0 ? 2u : 0u);
        for (int file = 0; file < 4; ++file) {
            EXPECT_EQ(fs::is_symlink(names[file]) ? "L"
                      : fs::is_directory(names[file] + std::string("/inside"))
                          ? "D"
                          : readFile(names[file]),
                      std::string("LD").find(after[file]) != std::string::npos
                          ? std::string(1, after[file])
                          : bytes[kinds.find(after[file])])
                << names[file];
            if (file < 2 && (after[file] == 'S' || after[file] == 'B')) {
                EXPECT_EQ(fs::last_write_time(names[file]), savedAt) << names[file];
            }
            fs::remove_all(names[file]);
        }
        EXPECT_EQ(folderEntries(), std::vector<std::string>{});
        EXPECT_EQ(refused, after.find('L') != std::string::npos);
        EXPECT_EQ(window, lines.count(before) ? lines.at(before) : "");
        messages.show("", "", window, 719 / 800.f); // the window on a 1366 x 768 screen
        EXPECT_EQ(utf8Of(messages.restoredLineShown()).find("..."), std::string::npos)
            << "longer than its two lines: " << window;
        EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), refused || !window.empty() ? 1 : 0)
            << told;
        const std::string unreadable = (scratch.path / names[before[0] == 'L' ? 0 : 1]).string();
        EXPECT_EQ(told.find(unreadable + " cannot be examined") == 0, refused) << told;
    }
}

TEST(WindowsFiles, ASaveKeepsWhatAPlayerGaveTheFile) {
    // Read-only, hidden, system, not indexed stay; archive, temporary,
    // offline, compressed and encrypted belong to the old file or the folder
    const unsigned long kept[][2] = {{0x1, 0x1},  {0x6, 0x6},  {0x2000, 0x2000}, {0x20, 0},
                                     {0x1100, 0}, {0x4800, 0}, {0xA1, 0x1}};
    for (const auto& k : kept) {
        EXPECT_EQ(attributesKeptAcrossSave(k[0]), k[1]) << std::hex << k[0];
    }
}

// Another program holds the file (Windows error `error`) for `heldFor` ms;
// each attempt takes 30 ms. Sharing and lock violations get 2 s by the clock;
// access denied too, but not for a new file; a missing file or folder, a
// write-protected or full disk, a name taken get no wait.
TEST(WindowsFiles, AFileHeldForAMomentIsTriedAgainForTwoSeconds) {
    struct Held {
        unsigned long error;
        std::uint64_t heldFor;
        int readAttempts;
        unsigned long readResult;
        int createAttempts;
        unsigned long createResult;
    };
    const Held held[] = {
        {32, 1500, 20, 0, 20, 0},   {33, 1990, 26, 0, 26, 0},   {5, 300, 5, 0, 1, 5},
        {32, 5000, 26, 32, 26, 32}, {2, 300, 1, 2, 1, 2},       {3, 300, 1, 3, 1, 3},
        {19, 300, 1, 19, 1, 19},    {112, 300, 1, 112, 1, 112}, {183, 300, 1, 183, 1, 183}};
    for (const Held& row : held) {
        for (const auto& [mayWorkLater, attempts, result] :
             {std::tuple{&readOrMoveMayWorkLater, row.readAttempts, row.readResult},
              {&createMayWorkLater, row.createAttempts, row.createResult}}) {
            SCOPED_TRACE(std::to_string(row.error) + " for " + std::to_string(row.heldFor) +
                         (mayWorkLater == &createMayWorkLater ? ", creating" : ""));
            std::uint64_t now = 1000000;
            const std::uint64_t start = now;
            int made = 0;
            const auto attempt = [&]() -> unsigned long {
                ++made;
                now += 30;
                return now - start <= row.heldFor ? row.error : 0;
            };
            EXPECT_EQ(retriedWhileHeld(
                          mayWorkLater, attempt, [&] { return now; }, [&] { now += 50; }),
                      result);
            EXPECT_EQ(made, attempts);
        }
    }
}
