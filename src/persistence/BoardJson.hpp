#pragma once

#include <string>
#include <vector>

// The board as the save file holds it: what is needed to rebuild every
// spider and box, and the money. Ids, damage and timers are not kept.
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

// One line of compact JSON:
// {"boxes":[{"x":..,"y":..}],"money":N,"spiders":[{"stage":..,"x":..,"y":..}]} with "boxes" and
// "spiders" left out when empty.
std::string boardToJson(const SavedBoard& board);

// Reads a save document. Fills `board` and returns true only when the whole
// document can be used; otherwise leaves `board` untouched and says why in
// `problem`.
bool parseBoard(const std::string& text, SavedBoard& board, std::string& problem);
