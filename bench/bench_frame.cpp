// Each figure of the game next to its floor: the least work the same job
// needs, measured in the same run.
#include "assets/TextureManager.hpp"
#include "game/Phases.hpp"
#include "game/Picture.hpp"
#include "game/Saving.hpp"
#include "persistence/SaveFile.hpp"
#include "persistence/SaveWriter.hpp"

#include <SFML/Graphics.hpp>
#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

const std::filesystem::path assets = TANGLEROOT_ASSETS;

// A full board: 11 boxes and 40 spiders of mixed stages, all between steps.
// A board of more things keeps that share of boxes (11 in 51).
struct FullBoard {
    explicit FullBoard(std::size_t things = 51) {
        if (TextureManager::textures.empty()) {
            TextureManager::addTextures(assets / "textures");
        }
        std::mt19937 place(1);
        std::uniform_real_distribution<float> coordinate(0.f, 700.f);
        const std::size_t boxCount = things * 11 / 51;
        for (std::size_t i = 0; i < things - boxCount; ++i) {
            spiders.emplace_back(1 + static_cast<int>(i % lastStage), coordinate(place),
                                 coordinate(place));
            spiders.back().moveInterval = 1000000;
        }
        for (std::size_t i = 0; i < boxCount; ++i) {
            boxes.emplace_back(coordinate(place), coordinate(place));
        }
    }
    std::vector<Spider> spiders;
    std::vector<Box> boxes;
    int money = 0;
};

bool writeSave(const FullBoard& board) {
    std::string problem;
    return writeSaveFile(boardSnapshot(board.spiders, board.boxes, board.money), problem);
}

// The boards that loading, a drawn frame, a save and a close are timed on:
// a full board of play (51 things), then boards only an edited save holds, up
// to ten times the most a save may hold (mostThingsInASave).
void boardSizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(51)->Arg(1000)->Arg(10000)->Arg(100000);
}

// A scratch working folder for the save file while a benchmark runs.
struct InScratchFolder {
    InScratchFolder() : previous(std::filesystem::current_path()) {
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
    }
    ~InScratchFolder() {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "tangleroot-bench";
    std::filesystem::path previous;
};

// The game's logic for one frame: a press and a release (on empty board, so
// nothing is picked up), the spider phase and the spawn check.
void frameLogic(FullBoard& board, std::mt19937& rng, std::random_device& randomDevice,
                sf::Clock& spawnClock, int& spawnDelay) {
    handleMousePress(board.spiders, board.boxes, board.money, {-10.f, -10.f});
    handleMouseRelease(board.spiders);
    updateSpiders(board.spiders, board.money, rng);
    spawnBoxes(board.spiders, board.boxes, rng, randomDevice, spawnClock, spawnDelay);
}

void Logic_Game(benchmark::State& state) {
    FullBoard board;
    std::mt19937 rng(2);
    std::random_device randomDevice;
    sf::Clock spawnClock;
    int spawnDelay = -1; // due, but held back by the full board
    for (auto _ : state) {
        frameLogic(board, rng, randomDevice, spawnClock, spawnDelay);
        benchmark::DoNotOptimize(board.money);
    }
}
BENCHMARK(Logic_Game);

// Floor: one look at every sprite's rectangle, which any frame's logic needs.
void Logic_Floor(benchmark::State& state) {
    FullBoard board;
    for (auto _ : state) {
        float sum = 0;
        for (const Spider& spider : board.spiders) {
            sum += spider.sprite.getGlobalBounds().left;
        }
        for (const Box& box : board.boxes) {
            sum += box.sprite.getGlobalBounds().left;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(Logic_Floor);

void Save_Game(benchmark::State& state) {
    FullBoard board(state.range(0));
    InScratchFolder scratch;
    for (auto _ : state) {
        benchmark::DoNotOptimize(writeSave(board));
    }
}
BENCHMARK(Save_Game)->Apply(boardSizes)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Floor: the same bytes written over the file in place, with no flush to the
// disk and no rename (fast, and not crash-safe).
void Save_Floor(benchmark::State& state) {
    FullBoard board(state.range(0));
    InScratchFolder scratch;
    for (auto _ : state) {
        std::ofstream("save.json") << boardSnapshot(board.spiders, board.boxes, 0);
    }
}
BENCHMARK(Save_Floor)->Apply(boardSizes)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The answer to a close on a sound disk: a snapshot of the board handed to the
// writer thread, and the wait until it is on the disk.
void Close_Game(benchmark::State& state) {
    FullBoard board(state.range(0));
    InScratchFolder scratch;
    Saving saving(writeSaveFile, board.spiders, board.boxes, board.money);
    for (auto _ : state) {
        benchmark::DoNotOptimize(saving.saveNow());
    }
}
BENCHMARK(Close_Game)->Apply(boardSizes)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Floor: the same bytes written as crash-safely, on the caller's thread, with
// no snapshot made.
void Close_Floor(benchmark::State& state) {
    FullBoard board(state.range(0));
    InScratchFolder scratch;
    const std::string bytes = boardSnapshot(board.spiders, board.boxes, board.money);
    for (auto _ : state) {
        std::string problem;
        benchmark::DoNotOptimize(writeSaveFile(bytes, problem));
    }
}
BENCHMARK(Close_Floor)->Apply(boardSizes)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Runs a frame's logic on a full board, the money changing every frame, with
// `save` after it; reports each frame's median and worst time.
void timeFrames(benchmark::State& state, FullBoard& board, const std::function<void()>& save) {
    std::mt19937 rng(2);
    std::random_device randomDevice;
    sf::Clock spawnClock;
    int spawnDelay = -1;
    std::vector<double> frames;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        frameLogic(board, rng, randomDevice, spawnClock, spawnDelay);
        ++board.money;
        save();
        frames.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
    std::sort(frames.begin(), frames.end());
    state.counters["median"] = frames[frames.size() / 2];
    state.counters["worst"] = frames.back();
}

// Every frame hands a snapshot to the writer thread (the board always
// changes); the range is extra milliseconds each flush takes, as on a slow disk.
void SavingFrame_Game(benchmark::State& state) {
    InScratchFolder scratch;
    const auto slowdown = std::chrono::milliseconds(state.range(0));
    FullBoard board;
    Saving saving(
        [&](const std::string& bytes, std::string& problem) {
            std::this_thread::sleep_for(slowdown);
            return writeSaveFile(bytes, problem);
        },
        board.spiders, board.boxes, board.money);
    timeFrames(state, board, [&] { saving.update(Change::newBox); });
}
BENCHMARK(SavingFrame_Game)->Arg(0)->Arg(200)->Iterations(3000)->UseRealTime();

// Floor: the same frames without saving.
void SavingFrame_Floor(benchmark::State& state) {
    FullBoard board;
    timeFrames(state, board, [] {});
}
BENCHMARK(SavingFrame_Floor)->Iterations(3000)->UseRealTime();

// Above mostThingsInASave this is the refusal: the file parsed, then kept
// aside (and a line on stderr); it is put back, untimed, for the next round.
void Load_Game(benchmark::State& state) {
    FullBoard board(state.range(0));
    InScratchFolder scratch;
    writeSave(board);
    for (auto _ : state) {
        std::vector<Spider> spiders;
        std::vector<Box> boxes;
        int money = 0;
        const LoadedSave loaded = load(spiders, boxes, money);
        benchmark::DoNotOptimize(spiders.data());
        if (!loaded.restoredLine.empty()) {
            state.PauseTiming();
            std::filesystem::rename("save.json.unusable-1", saveFilePath);
            state.ResumeTiming();
        }
    }
}
BENCHMARK(Load_Game)->Apply(boardSizes)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Floor: reading and parsing the same file, building nothing.
void Load_Floor(benchmark::State& state) {
    FullBoard board(state.range(0));
    InScratchFolder scratch;
    writeSave(board);
    for (auto _ : state) {
        nlohmann::json document;
        std::ifstream("save.json") >> document;
        benchmark::DoNotOptimize(document);
    }
}
BENCHMARK(Load_Floor)->Apply(boardSizes)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One window for the drawn frames, unpaced so that frames cost what they cost.
struct Screen {
    Screen() {
        window.create(sf::VideoMode(800, 800, 32), "Tangleroot",
                      sf::Style::Titlebar | sf::Style::Close);
        font.loadFromFile((assets / "fonts/roboto.ttf").string());
        label.setFont(font);
        label.setFillColor(sf::Color::Black);
        label.setCharacterSize(24);
    }
    sf::RenderWindow window;
    sf::Font font;
    sf::Text label;
};

Screen& screen() {
    static Screen shared;
    return shared;
}

// Above mostThingsInASave the game never loads the board: the frame's
// functions run on it all the same.
void Frame_Game(benchmark::State& state) {
    FullBoard board(state.range(0));
    Screen& s = screen();
    sf::Texture& background = TextureManager::getTexture("background");
    std::mt19937 rng(2);
    std::random_device randomDevice;
    sf::Clock spawnClock;
    int spawnDelay = -1;
    Picture picture;
    for (auto _ : state) {
        sf::Event event;
        while (s.window.pollEvent(event)) {
        }
        frameLogic(board, rng, randomDevice, spawnClock, spawnDelay);
        picture.clear();
        composeScene(picture, background, board.spiders, board.boxes, s.label, board.money, 1.f);
        picture.draw(s.window);
        s.window.display();
    }
}
BENCHMARK(Frame_Game)->Apply(boardSizes)->Unit(benchmark::kMillisecond)->UseRealTime();

// Floor: the bare loop: clear, the background, the same sprites, the label.
void Frame_Floor(benchmark::State& state) {
    FullBoard board(state.range(0));
    Screen& s = screen();
    const sf::Sprite background(TextureManager::getTexture("background"));
    std::vector<sf::Sprite> sprites;
    for (const Spider& spider : board.spiders) {
        sprites.push_back(spider.sprite);
    }
    for (const Box& box : board.boxes) {
        sprites.push_back(box.sprite);
    }
    s.label.setString("Money: 0");
    for (auto _ : state) {
        sf::Event event;
        while (s.window.pollEvent(event)) {
        }
        s.window.clear(sf::Color::White);
        s.window.draw(background);
        for (const sf::Sprite& sprite : sprites) {
            s.window.draw(sprite);
        }
        s.window.draw(s.label);
        s.window.display();
    }
}
BENCHMARK(Frame_Floor)->Apply(boardSizes)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
