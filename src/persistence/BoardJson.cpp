#include "persistence/BoardJson.hpp"

#include "entities/Board.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <sstream>
#include <type_traits>

using nlohmann::json;

namespace {

// Within the type's range; a whole number may be a fraction (cut toward zero) or
// a boolean. A double holds every int and float exactly, so the check is exact.
template <typename Number>
bool readNumber(const json& object, const char* key, const std::string& name, Number& out,
                std::string& problem) {
    const auto value = object.find(key);
    if (value == object.end()) {
        problem = name + " has no \"" + key + "\"";
        return false;
    }
    constexpr bool whole = std::is_integral_v<Number>;
    double number = value->is_number()             ? value->get<double>()
                    : whole && value->is_boolean() ? (value->get<bool>() ? 1.0 : 0.0)
                                                   : NAN;
    number = whole ? std::trunc(number) : number;
    if (!(number >= std::numeric_limits<Number>::lowest() &&
          number <= std::numeric_limits<Number>::max())) {
        problem = name + " \"" + key + "\" is not a number the board can hold";
        return false;
    }
    out = static_cast<Number>(number);
    return true;
}

// Each object of the array under `key`, none when the root has no `key`.
template <typename Entry, typename ReadOne>
bool readEntries(const json& root, const char* key, const std::string& name,
                 std::vector<Entry>& read, std::string& problem, ReadOne readOne) {
    const auto entries = root.find(key);
    if (entries == root.end()) {
        return true;
    }
    if (!entries->is_array()) {
        problem = std::string("\"") + key + "\" is not an array";
        return false;
    }
    for (const json& entry : *entries) {
        const std::string entryName = name + " " + std::to_string(read.size() + 1);
        if (!entry.is_object()) {
            problem = entryName + " is not an object";
            return false;
        }
        if (!readOne(entry, entryName, read.emplace_back())) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string boardToJson(const SavedBoard& board) {
    json document;
    for (const SavedSpider& spider : board.spiders) {
        document["spiders"].push_back(
            {{"stage", spider.stage}, {"x", double{spider.x}}, {"y", double{spider.y}}});
    }
    for (const SavedBox& box : board.boxes) {
        document["boxes"].push_back({{"x", double{box.x}}, {"y", double{box.y}}});
    }
    document["money"] = board.money;
    return document.dump();
}

bool parseBoard(const std::string& text, SavedBoard& board, std::string& problem) {
    // Stream input reads the first complete value and ignores what follows it.
    json root;
    try {
        std::istringstream in(text);
        in >> root;
    } catch (const json::exception& error) {
        problem = std::string("it is not JSON: ") + error.what();
        return false;
    }
    if (!root.is_object()) {
        problem = "its root is not an object";
        return false;
    }
    const auto readSpider = [&](const json& entry, const std::string& name, SavedSpider& spider) {
        const bool numbers = readNumber(entry, "stage", name, spider.stage, problem) &&
                             readNumber(entry, "x", name, spider.x, problem) &&
                             readNumber(entry, "y", name, spider.y, problem);
        if (numbers && (spider.stage < 1 || spider.stage > lastStage)) {
            problem = name + " has stage " + std::to_string(spider.stage) + ", outside 1 to " +
                      std::to_string(lastStage);
            return false;
        }
        return numbers;
    };
    const auto readBox = [&](const json& entry, const std::string& name, SavedBox& box) {
        return readNumber(entry, "x", name, box.x, problem) &&
               readNumber(entry, "y", name, box.y, problem);
    };
    SavedBoard read;
    if (!readEntries(root, "spiders", "spider", read.spiders, problem, readSpider) ||
        !readEntries(root, "boxes", "box", read.boxes, problem, readBox) ||
        !readNumber(root, "money", "the board", read.money, problem)) {
        return false;
    }
    if (const std::size_t things = read.spiders.size() + read.boxes.size();
        things > mostThingsInASave) {
        problem = "it holds " + std::to_string(things) + " things, more than the " +
                  std::to_string(mostThingsInASave) + " a board may hold";
        return false;
    }
    board = std::move(read);
    return true;
}
