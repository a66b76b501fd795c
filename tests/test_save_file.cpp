#include "game/Phases.hpp"
#include "game/Saving.hpp"
#include "persistence/AtomicFile.hpp"
#include "persistence/SaveFile.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <iterator>
#include <map>
#include <thread>

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
    if (::pipe(pipeEnds) != 0) {
        ADD_FAILURE() << "no pipe";
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        ::dup2(pipeEnds[1], 2);
        work();
        _exit(0);
    }
    ::close(pipeEnds[1]);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::string text;
    char buffer[4096];
    for (ssize_t count; (count = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(pipeEnds[0]);
    return text;
}

// From here on every call of `number` in this process fails with `error`, as
// a failing disk would make it: a filter the kernel applies to the process.
void failSystemCall(int number, int error) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(number), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(error)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        _exit(3);
    }
}

} // namespace

TEST_F(SaveFile, SaveThenLoadGivesBackTheBoardWithFreshIds) {
    const std::vector<Spider> saved{Spider(3, 130, 587.75), Spider(1, 0.1, -20),
                                    Spider(12, 799.5, 3)};
    std::vector<Box> savedBoxes{Box(412.5, 96.25), Box(7, 8)};
    savedBoxes[1].hit();
    savedBoxes[1].hit();
    save(saved, savedBoxes, 1234);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.json"}) << "no temporary file left";

    load(spiders, boxes, money);

    EXPECT_EQ(money, 1234);
    ASSERT_EQ(spiders.size(), saved.size());
    for (std::size_t i = 0; i < saved.size(); ++i) {
        EXPECT_EQ(spiders[i].stage, saved[i].stage);
        EXPECT_EQ(spiders[i].sprite.getPosition(), saved[i].sprite.getPosition());
        EXPECT_NE(spiders[i].id, saved[i].id);
        EXPECT_FALSE(spiders[i].dragging || spiders[i].dropped);
    }
    ASSERT_EQ(boxes.size(), savedBoxes.size());
    for (std::size_t i = 0; i < savedBoxes.size(); ++i) {
        EXPECT_EQ(boxes[i].sprite.getPosition(), savedBoxes[i].sprite.getPosition());
        EXPECT_EQ(boxes[i].damage, 0);
        EXPECT_NE(boxes[i].id, savedBoxes[i].id);
    }
}

static_assert(savedBoardSide == boardSize, "saved places are on the board the game draws");

// A hand-edited or damaged file may put a box where nobody can see or break it.
TEST_F(SaveFile, ABoxSavedOffTheBoardComesBackAtTheNearestPlaceOnIt) {
    const sf::FloatRect size = Box(0, 0).sprite.getGlobalBounds();
    const float right = 800 - size.width;
    const float bottom = 800 - size.height;
    const std::pair<sf::Vector2f, sf::Vector2f> moves[] = {
        {{-500, -500}, {0, 0}},        {{790, 10}, {right, 10}}, {{right, bottom}, {right, bottom}},
        {{100, 1e30f}, {100, bottom}}, {{-0.5f, 400}, {0, 400}}, {{right + 1, -1}, {right, 0}},
    };
    std::vector<Box> saved;
    for (const auto& [from, to] : moves) {
        saved.emplace_back(from.x, from.y);
    }
    save({}, saved, 0);
    load(spiders, boxes, money);
    ASSERT_EQ(boxes.size(), std::size(moves));
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].sprite.getPosition(), moves[i].second) << "box " << i + 1;
    }
}

TEST_F(SaveFile, AnUnusableFileIsKeptAsideAndNeverOverwritten) {
    const std::string first =
        R"({"spiders":[{"stage":1,"x":1,"y":2}],"boxes":[{"x":3,"y":4},{"x":"?","y":4}],"money":5})";
    const std::string second = "{\"money\":";
    writeFile("save.json", first);

    ::testing::internal::CaptureStderr();
    load(spiders, boxes, money);
    const std::string message = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(readFile("save.json.unusable-1"), first);
    EXPECT_NE(message.find("save.json.unusable-1"), std::string::npos) << message;
    EXPECT_NE(message.find("box 2"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;

    // The next save writes a new file; a second bad file takes the next name.
    save(spiders, boxes, money);
    writeFile("save.json", second);
    load(spiders, boxes, money);
    EXPECT_EQ(readFile("save.json.unusable-1"), first);
    EXPECT_EQ(readFile("save.json.unusable-2"), second);
}

TEST_F(SaveFile, AFolderInPlaceOfSaveJsonIsKeptAsideToo) {
    fs::create_directory("save.json");
    writeFile("save.json/inside", "kept");
    ::testing::internal::CaptureStderr();
    load(spiders, boxes, money);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(readFile("save.json.unusable-1/inside"), "kept");
}

// A file the player may not read may hold a good board: nothing moves, and
// the system's reason is told.
TEST_F(SaveFile, ASaveThatCannotBeOpenedOrReadStopsTheLoadAndMovesNothing) {
    writeFile("save.json", "{");
    const std::pair<int, const char*> failures[] = {
        {EACCES, " cannot be opened: Permission denied"},
        {EIO, " cannot be read: Input/output error"}};
    for (const auto& [error, told] : failures) {
        const int call = error == EIO ? SYS_read : SYS_openat;
        EXPECT_EQ(inChild([&, error = error] {
                      failSystemCall(call, error);
                      try {
                          load(spiders, boxes, money);
                      } catch (const UnreadableSaveFile& unreadable) {
                          std::cerr << unreadable.what();
                      }
                  }).rfind((scratch.path / "save.json").string() + told, 0),
                  0u);
    }
}

// The pairs of states are tried below; here, what stderr says of a restore,
// and a restore that cannot write the board back.
TEST_F(SaveFile, ABrokenSaveGivesWayToAGoodBackup) {
    writeFile("save.json.bak", R"({"money":7,"spiders":[{"stage":4,"x":5,"y":6}]})");
    writeFile("save.json", "{");
    ::testing::internal::CaptureStderr();
    load(spiders, boxes, money);
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(told.rfind("Tangleroot: save.json cannot be used (it is not JSON: ", 0), 0u) << told;
    EXPECT_NE(told.find("; it was kept as save.json.unusable-1, and the board saved at "),
              std::string::npos)
        << told;
    EXPECT_NE(told.find(" is back from save.json.bak\n"), std::string::npos) << told;

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
    EXPECT_EQ(readFile("save.json.bak"), R"({"money":7,"spiders":[{"stage":4,"x":5,"y":6}]})");
    EXPECT_FALSE(fs::exists("save.json.unusable-2")) << "a copy left at each failed start";
}

// A game killed at any moment of a save leaves either the old board or the new
// one, whole, never a cut file.
TEST_F(SaveFile, AKillDuringASaveNeverLeavesAHalfFile) {
    std::vector<Spider> spiders;
    for (int i = 0; i < 300; ++i) {
        spiders.emplace_back(1 + i % 12, i * 1.25, i * 2.5);
    }
    std::vector<Box> boxes{Box(1, 2)};
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
        ASSERT_EQ(board.spiders.size(), spiders.size());
        ASSERT_EQ(board.boxes.size(), 1u);
    }
}

TEST_F(SaveFile, AFailedSaveKeepsTheOldFileLeavesNoTemporaryFileAndSaysWhy) {
    struct Failure {
        const char* name;
        std::function<void()> prepare; // in the test, before the save
        std::function<void()> inChild; // in the saving process
        const char* told;              // what the player reads
    };
    const std::vector<Failure> failures{
        {"a folder in save.json's place, which no rename replaces",
         [] {
             fs::remove("save.json");
             fs::create_directory("save.json");
             writeFile("save.json/old", "old board");
         },
         [] {}, "cannot replace save.json: Is a directory"},
        {"a full disk (writes past 20 bytes fail)", [] {},
         [] {
             std::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit{20, 20};
             setrlimit(RLIMIT_FSIZE, &limit);
         },
         "cannot write a temporary file beside save.json: File too large"},
        {"a folder an ordinary user cannot write",
         [] { fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec); },
         [] {
             if (::geteuid() == 0 && ::setuid(65534) != 0) {
                 _exit(1);
             }
         },
         "cannot create a temporary file beside save.json: Permission denied"},
        {"a disk that fails to flush", [] {}, [] { failSystemCall(__NR_fsync, EIO); },
         "cannot flush a temporary file beside save.json to the disk: Input/output error"},
    };
    const auto oldBoard = [] {
        return readFile(fs::is_directory("save.json") ? "save.json/old" : "save.json");
    };
    for (const Failure& failure : failures) {
        save({}, {}, 1);
        failure.prepare();
        const std::string before = oldBoard();
        const std::string problem = inChild([&] {
            failure.inChild();
            std::string why;
            if (writeSaveFile(boardSnapshot({}, boxes, 2), why)) {
                _exit(2); // reported as a success
            }
            std::cerr << why;
        });
        fs::permissions(".", fs::perms::owner_all);
        EXPECT_EQ(oldBoard(), before) << failure.name;
        EXPECT_EQ(folderEntries(), std::vector<std::string>{"save.json"}) << failure.name;
        EXPECT_EQ(problem, failure.told) << failure.name;
        fs::remove_all("save.json");
    }
}

TEST_F(SaveFile, LeftoverTemporaryFilesGoAndNothingElse) {
    writeFile("save.json", "board");
    writeFile("save.json.tmp-123-0", "half");
    writeFile("save.json.tmp-9-14", "");
    writeFile("save.json.unusable-1", "kept");
    writeFile("save.json.bak", "board");
    writeFile("save.json.bak.tmp-123-1", "half");
    writeFile("other.tmp-1", "");
    removeLeftoverTemporaryFiles();
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"other.tmp-1", "save.json",
                                                         "save.json.bak", "save.json.unusable-1"}));
}

// The start as the game makes it (load, then its backup job) for each pair
// of states of save.json and save.json.bak: - missing, u unreadable, n not a
// board, b a board. Files after, in the order of `names`: S the save's board,
// B the backup's, s and k the two that are not boards, L an unreadable link.
TEST_F(SaveFile, EachPairOfFileStatesHasOneAnswer) {
    const char* const names[] = {"save.json", "save.json.bak", "save.json.unusable-1",
                                 "save.json.bak.unusable-1"};
    const std::map<char, std::string> bytes{{'S', R"({"money":1})"},
                                            {'B', R"({"money":2,"spiders":[]})"},
                                            {'s', "{\"money\":"},
                                            {'k', "{\"money\":\"\""},
                                            {'L', "elsewhere"}};
    const std::string saveKept = "save.json could not be read (it is not JSON); it was kept as "
                                 "save.json.unusable-1";
    const std::string backupKept = "save.json.bak could not be read (it is not JSON); it was "
                                   "kept as save.json.bak.unusable-1 and a new board starts";
    const std::string back = "; the board saved at 2025-03-04 05:06 is back";
    struct Row {
        const char* states; // save.json's, save.json.bak's
        int money;          // the board's: 0 for a fresh one
        const char* after;
        int exit;         // 1: the game cannot start
        std::string told; // the window's line
    };
    const Row rows[] = {
        {"b-", 1, "SS--", 0, ""},
        {"bu", 1, "SS--", 0, ""},
        {"bn", 1, "SS--", 0, ""},
        {"bb", 1, "SS--", 0, ""},
        {"u-", 0, "L---", 1, ""},
        {"uu", 0, "LL--", 1, ""},
        {"un", 0, "Lk--", 1, ""},
        {"ub", 0, "LB--", 1, ""},
        {"--", 0, "----", 0, ""},
        {"-u", 0, "-L--", 1, ""},
        {"-n", 0, "---k", 0, "save.json was missing; " + backupKept},
        {"-b", 2, "BB--", 0, "save.json was missing" + back},
        {"n-", 0, "--s-", 0, saveKept + " and a new board starts"},
        {"nu", 0, "sL--", 1, ""},
        {"nn", 0, "--sk", 0, saveKept + "; " + backupKept},
        {"nb", 2, "BBs-", 0, "save.json could not be read" + back},
    };
    std::tm then{30, 6, 5, 4, 2, 125, 0, 0, -1, 0, nullptr}; // 2025-03-04 05:06:30 here
    const auto backupTime = fs::file_time_type::clock::now() +
                            (std::chrono::system_clock::from_time_t(std::mktime(&then)) -
                             std::chrono::system_clock::now());
    for (const Row& row : rows) {
        for (int file = 0; file < 2; ++file) {
            const char state = row.states[file];
            if (state == 'u') {
                fs::create_symlink(bytes.at('L'), names[file]);
            } else if (state != '-') {
                writeFile(names[file], bytes.at(state == 'b' ? "SB"[file] : "sk"[file]));
            }
        }
        if (row.states[1] == 'b') {
            fs::last_write_time(names[1], backupTime);
        }
        spiders.clear();
        boxes = {Box(10, 20), Box(30, 40)};
        money = 0;

        int exit = 0;
        std::string window;
        ::testing::internal::CaptureStderr();
        try {
            Saving saving(writeSaveFile, "");
            const LoadedSave loaded = load(spiders, boxes, money);
            window = loaded.told;
            saving.startFrom(loaded);
        } catch (const std::exception& error) {
            std::cerr << error.what() << "\n"; // as the game tells it
            exit = 1;
        }
        const std::string told = ::testing::internal::GetCapturedStderr();

        EXPECT_EQ(money, row.money) << row.states;
        EXPECT_EQ(boxes.size(), row.money == 0 ? 2u : 0u) << row.states;
        for (int file = 0; file < 4; ++file) {
            const char expected = row.after[file];
            EXPECT_EQ(fs::is_symlink(names[file]) ? fs::read_symlink(names[file]).string()
                                                  : readFile(names[file]),
                      expected == '-' ? "" : bytes.at(expected))
                << row.states << ": " << names[file];
            fs::remove_all(names[file]);
        }
        EXPECT_EQ(folderEntries(), std::vector<std::string>{}) << row.states;
        EXPECT_EQ(exit, row.exit) << row.states;
        EXPECT_EQ(window, row.told) << row.states;
        EXPECT_EQ(std::count(told.begin(), told.end(), '\n'),
                  row.exit == 1 || !window.empty() ? 1 : 0)
            << row.states << ": " << told;
        const std::string unreadable =
            (scratch.path / names[row.states[0] == 'u' ? 0 : 1]).string();
        EXPECT_EQ(told.find(unreadable + " cannot be examined") == 0, row.exit == 1) << told;
    }
}

TEST(WindowsFiles, ASaveKeepsWhatAPlayerGaveTheFileAndRetriesOnlyWhatPasses) {
    // Read-only, hidden, system, not indexed stay; archive, temporary,
    // offline, compressed and encrypted belong to the old file or the folder
    const unsigned long kept[][2] = {{0x1, 0x1},  {0x6, 0x6},  {0x2000, 0x2000}, {0x20, 0},
                                     {0x1100, 0}, {0x4800, 0}, {0xA1, 0x1}};
    for (const auto& k : kept) {
        EXPECT_EQ(attributesKeptAcrossSave(k[0]), k[1]) << std::hex << k[0];
    }
    // Access denied, sharing and lock violations pass; a missing file or
    // folder, a write-protected or full disk, a name taken do not
    for (const unsigned long error : {5, 32, 33}) {
        EXPECT_TRUE(moveMayWorkLater(error)) << error;
    }
    for (const unsigned long error : {2, 3, 19, 112, 183}) {
        EXPECT_FALSE(moveMayWorkLater(error)) << error;
    }
}
