// Game logic on a full board: 11 boxes and 40 spiders of mixed stages.
#include "assets/TextureManager.hpp"
#include "game/Phases.hpp"
#include "persistence/SaveFile.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

struct FullBoard {
    FullBoard() {
        if (TextureManager::textures.empty()) {
            TextureManager::addTextures(std::filesystem::path(TANGLEROOT_ASSETS) / "textures");
        }
        std::mt19937 place(1);
        std::uniform_real_distribution<float> coordinate(0.f, 700.f);
        for (int i = 0; i < 40; ++i) {
            spiders.emplace_back(1 + i % 12, coordinate(place), coordinate(place));
            spiders.back().moveInterval = 1000000; // free spiders between steps
        }
        for (int i = 0; i < 11; ++i) {
            boxes.emplace_back(coordinate(place), coordinate(place));
        }
    }
    std::vector<Spider> spiders;
    std::vector<Box> boxes;
    int money = 0;
};

// One frame's logic: a press and a release on empty board, the spider phase
// over every free spider, and the spawn check (held back by the full board).
void FrameLogic(benchmark::State& state) {
    FullBoard board;
    std::mt19937 rng(2);
    std::random_device randomDevice;
    sf::Clock spawnClock;
    int spawnDelay = -1;
    for (auto _ : state) {
        handleMousePress(board.spiders, board.boxes, board.money, {-10.f, -10.f});
        handleMouseRelease(board.spiders);
        updateSpiders(board.spiders, board.money, rng, {-10.f, -10.f});
        spawnBoxes(board.spiders, board.boxes, board.money, rng, randomDevice, spawnClock,
                   spawnDelay);
        benchmark::DoNotOptimize(board.money);
    }
}
BENCHMARK(FrameLogic);

void SaveFullBoard(benchmark::State& state) {
    FullBoard board;
    const auto folder = std::filesystem::temp_directory_path() / "tangleroot-bench";
    std::filesystem::create_directories(folder);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    for (auto _ : state) {
        save(board.spiders, board.boxes, board.money);
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
}
BENCHMARK(SaveFullBoard)->Unit(benchmark::kMicrosecond);

void SaveFileText(benchmark::State& state) {
    FullBoard board;
    for (auto _ : state) {
        benchmark::DoNotOptimize(boardToJson(savedBoardOf(board.spiders, board.boxes, 0)));
    }
}
BENCHMARK(SaveFileText)->Unit(benchmark::kMicrosecond);

} // namespace
