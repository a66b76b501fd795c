#include "entities/Board.hpp"
#include "persistence/BoardJson.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>

namespace {

// The board `text` holds, in the form checked byte for byte below.
std::string read(const std::string& text) {
    SavedBoard board;
    std::string problem;
    EXPECT_TRUE(parseBoard(text, board, problem)) << text << ": " << problem;
    return boardToJson(board);
}

} // namespace

TEST(BoardJson, WritesTheCompactFormByteForByteInOrderLeavingOutEmptySequences) {
    EXPECT_EQ(boardToJson(SavedBoard{
                  {{2, 130, 587.75f}, {12, 400, 0}}, {{412.5f, 96.25f}, {0, 800}}, 2147483647}),
              R"({"boxes":[{"x":412.5,"y":96.25},{"x":0.0,"y":800.0}],"money":2147483647,)"
              R"("spiders":[{"stage":2,"x":130.0,"y":587.75},{"stage":12,"x":400.0,"y":0.0}]})");
    EXPECT_EQ(boardToJson(SavedBoard{}), R"({"money":0})");
}

TEST(BoardJson, CoordinatesSurviveAWriteAndARead) {
    // A float widened to double is written with the digits that read back to it.
    EXPECT_EQ(boardToJson(SavedBoard{{}, {{0.1f, 1e-7f}}, 0}),
              R"({"boxes":[{"x":0.10000000149011612,"y":1.0000000116860974e-07}],"money":0})");

    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> coordinate(-1000.f, 1000.f);
    SavedBoard board;
    for (int i = 0; i < 200; ++i) {
        board.spiders.push_back({1 + i % 12, coordinate(rng), coordinate(rng)});
        board.boxes.push_back({coordinate(rng), coordinate(rng)});
    }
    board.money = -2147483647 - 1;
    EXPECT_EQ(read(boardToJson(board)), boardToJson(board));
}

TEST(BoardJson, ReadsTolerantFormsLikeTheCompactOne) {
    const SavedBoard expected{{{2, 130, 587.75f}}, {{412.5f, 96.25f}}, 37};
    const char* forms[] = {
        // pretty-printed
        "{\n  \"boxes\": [ { \"x\": 412.5, \"y\": 96.25 } ],\n  \"money\": 37,\n"
        "  \"spiders\": [ { \"stage\": 2, \"x\": 130.0, \"y\": 587.75 } ]\n}\n",
        // other order, unknown members, whole numbers without a fraction
        R"({"spiders":[{"y":587.75,"x":130,"stage":2,"name":"Webster"}],"version":3,)"
        R"("money":37,"boxes":[{"y":96.25,"x":412.5,"damage":2}]})",
        // text after the closing brace
        R"({"boxes":[{"x":412.5,"y":96.25}],"money":37,"spiders":[{"stage":2,"x":130.0,"y":587.75}]} trailing words {)",
        // stage 2.9 is stage 2, money with a fraction is cut toward zero
        R"({"boxes":[{"x":412.5,"y":96.25}],"money":37.8,"spiders":[{"stage":2.9,"x":130,"y":587.75}]})",
    };
    for (const char* form : forms) {
        EXPECT_EQ(read(form), boardToJson(expected)) << form;
    }
    const std::pair<const char*, SavedBoard> numbers[] = {
        {R"({"money":true,"spiders":[{"stage":true,"x":1,"y":2}]})", {{{1, 1, 2}}, {}, 1}},
        {R"({"money":false})", {}},
        {R"({"money":-0.9})", {}},
        {R"({"money":-2147483648})", {{}, {}, std::numeric_limits<int>::min()}}};
    for (const auto& [text, board] : numbers) {
        EXPECT_EQ(read(text), boardToJson(board)) << text;
    }
}

TEST(BoardJson, RefusesUnusableDocumentsWithoutTouchingTheBoard) {
    const std::string unusable[] = {
        "", "   ", "not json", R"({"money":1)", "[1,2,3]", "42", "null",
        R"({"spiders":{},"money":1})", R"({"boxes":"none","money":1})",
        R"({"boxes":[5],"money":1})", R"({"spiders":[[1,2,3]],"money":1})",
        R"({"spiders":[{"x":1,"y":2}],"money":1})", R"({"spiders":[{"stage":1,"y":2}],"money":1})",
        R"({"spiders":[{"stage":1,"x":2}],"money":1})", R"({"boxes":[{"y":2}],"money":1})",
        R"({"boxes":[{"x":1}],"money":1})", R"({"boxes":[{"x":"1","y":2}],"money":1})",
        R"({"boxes":[{"x":true,"y":2}],"money":1})", R"({"boxes":[{"x":1,"y":null}],"money":1})",
        R"({"spiders":[{"stage":"2","x":1,"y":2}],"money":1})",
        R"({"spiders":[{"stage":0,"x":1,"y":2}],"money":1})",
        R"({"spiders":[{"stage":false,"x":1,"y":2}],"money":1})",
        R"({"spiders":[{"stage":)" + std::to_string(lastStage + 1) + R"(,"x":1,"y":2}],"money":1})",
        R"({"spiders":[{"stage":-1,"x":1,"y":2}],"money":1})",
        R"({"spiders":[{"stage":1e300,"x":1,"y":2}],"money":1})",
        R"({"spiders":[{"stage":18446744073709551615,"x":1,"y":2}],"money":1})",
        R"({"spiders":[{"stage":1,"x":1e39,"y":2}],"money":1})",
        R"({"boxes":[{"x":-3.4028235e38,"y":2}],"money":1})", // just past the float range
        R"({"boxes":[{"x":1,"y":-1e300}],"money":1})",
        R"({"spiders":[{"stage":1,"x":1,"y":2}],"boxes":[{"x":1,"y":2}]})", R"({"money":"37"})",
        R"({"money":null})", R"({"money":2147483648})", R"({"money":-2147483649})",
        R"({"money":1e10})", R"({"money":[1]})",
        // a good first entry does not make a bad second one acceptable
        R"({"spiders":[{"stage":1,"x":1,"y":2},{"stage":99,"x":1,"y":2}],"money":1})"};
    const SavedBoard before{{{5, 1, 2}}, {{3, 4}}, 77};
    for (const std::string& text : unusable) {
        SavedBoard board = before;
        std::string problem;
        EXPECT_FALSE(parseBoard(text, board, problem)) << text;
        EXPECT_FALSE(problem.empty()) << text;
        EXPECT_EQ(boardToJson(board), boardToJson(before)) << text;
    }
}

TEST(BoardJson, ABoardOfTheMostThingsLoadsAndOneMoreIsNoBoard) {
    SavedBoard most;
    most.spiders.assign(mostThingsInASave / 2, {3, 1.5f, 2});
    most.boxes.assign(mostThingsInASave - most.spiders.size(), {4, 5});
    SavedBoard read;
    std::string problem;
    EXPECT_TRUE(parseBoard(boardToJson(most), read, problem)) << problem;
    EXPECT_EQ(read.spiders.size() + read.boxes.size(), mostThingsInASave);
    most.boxes.push_back({6, 7});
    EXPECT_FALSE(parseBoard(boardToJson(most), read, problem));
    EXPECT_EQ(problem, "it holds 10001 things, more than the 10000 a board may hold");
}
