// libFuzzer target for the save-file reader: any bytes either give a board
// the game can use or leave the board exactly as it was.
#include "entities/Board.hpp"
#include "persistence/BoardJson.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SavedBoard board{{{7, 1.5f, 2.5f}}, {}, 1234};
    std::string problem;
    if (!parseBoard(std::string(reinterpret_cast<const char*>(data), size), board, problem)) {
        if (problem.empty() ||
            boardToJson(board) != R"({"money":1234,"spiders":[{"stage":7,"x":1.5,"y":2.5}]})") {
            std::abort();
        }
        return 0;
    }
    for (const SavedSpider& spider : board.spiders) {
        if (spider.stage < 1 || spider.stage > lastStage || !std::isfinite(spider.x) ||
            !std::isfinite(spider.y)) {
            std::abort();
        }
    }
    for (const SavedBox& box : board.boxes) {
        if (!std::isfinite(box.x) || !std::isfinite(box.y)) {
            std::abort();
        }
    }
    // What was read writes back to a document that reads the same.
    SavedBoard again;
    if (!parseBoard(boardToJson(board), again, problem) ||
        boardToJson(again) != boardToJson(board)) {
        std::abort();
    }
    return 0;
}
