#pragma once

#include <string>
#include <vector>

// Ids, damage and timers are not kept.
struct SavedSpider {
    int stage;
    float x;
    float y;
};

struct SavedBox {
    float x;
    float y;
};

struct SavedBoard {
    std::vector<SavedSpider> spiders;
    std::vector<SavedBox> boxes;
    int money = 0;
};

// One line of compact JSON, keys in order, "boxes" and "spiders" left out
// when empty: {"boxes":[{"x":..,"y":..}],"money":N,"spiders":[{"stage":..,"x":..,"y":..}]}
std::string boardToJson(const SavedBoard& board);

// Fills `board` only when the whole document can be used; else says why.
bool parseBoard(const std::string& text, SavedBoard& board, std::string& problem);
