// libFuzzer target for the save-file reader: any bytes either give a board
// the game can use or leave the board exactly as it was.
#include "persistence/BoardJson.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    SavedBoard board;
    board.spiders.push_back({7, 1.5f, 2.5f});
    board.money = 1234;
    std::string problem;
    if (parseBoard(text, board, problem)) {
        for (const SavedSpider& spider : board.spiders) {
            if (spider.stage < 1 || spider.stage > 12 || !std::isfinite(spider.x) ||
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
        std::string secondProblem;
        if (!parseBoard(boardToJson(board), again, secondProblem) ||
            boardToJson(again) != boardToJson(board)) {
            std::abort();
        }
    } else if (problem.empty() || board.spiders.size() != 1 || board.spiders[0].stage != 7 ||
               !board.boxes.empty() || board.money != 1234) {
        std::abort();
    }
    return 0;
}
