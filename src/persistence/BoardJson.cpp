#include "persistence/BoardJson.hpp"

#include "entities/Board.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <sstream>
#include <type_traits>

using nlohmann::json;

namespace {

struct NotABoard {
    std::string problem;
};

// Within the type's range; a whole number may be a fraction (cut toward zero) or
// a boolean. A double holds every int and float exactly, so the check is exact.
template <typename Number>
Number readNumber(const json& object, const char* key, const std::string& name) {
    const auto value = object.find(key);
    if (value == object.end()) {
        throw NotABoard{name + " has no \"" + key + "\""};
    }
    constexpr bool whole = std::is_integral_v<Number>;
    double number = value->is_number()             ? value->get<double>()
                    : whole && value->is_boolean() ? (value->get<bool>() ? 1.0 : 0.0)
                                                   : NAN;
    number = whole ? std::trunc(number) : number;
    if (!(number >= std::numeric_limits<Number>::lowest() &&
          number <= std::numeric_limits<Number>::max())) {
        throw NotABoard{name + " \"" + key + "\" is not a number the board can hold"};
    }
    return static_cast<Number>(number);
}

// Each object of the array under `key`, none when the root has no `key`.
template <typename Entry, typename ReadOne>
std::vector<Entry> readEntries(const json& root, const char* key, const std::string& name,
                               ReadOne readOne) {
    std::vector<Entry> read;
    const auto entries = root.find(key);
    if (entries == root.end()) {
        return read;
    }
    if (!entries->is_array()) {
        throw NotABoard{std::string("\"") + key + "\" is not an array"};
    }
    for (const json& entry : *entries) {
        const std::string entryName = name + " " + std::to_string(read.size() + 1);
        if (!entry.is_object()) {
            throw NotABoard{entryName + " is not an object"};
        }
        read.push_back(readOne(entry, entryName));
    }
    return read;
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
    try {
        // Stream input reads the first complete value and ignores what follows it.
        json root;
        std::istringstream in(text);
        in >> root;
        if (!root.is_object()) {
            throw NotABoard{"its root is not an object"};
        }
        SavedBoard read;
        read.spiders = readEntries<SavedSpider>(
            root, "spiders", "spider", [](const json& entry, const std::string& name) {
                // A braced list reads its numbers in order, so the first one missing is named
                const SavedSpider spider{readNumber<int>(entry, "stage", name),
                                         readNumber<float>(entry, "x", name),
                                         readNumber<float>(entry, "y", name)};
                if (spider.stage < 1 || spider.stage > lastStage) {
                    throw NotABoard{name + " has stage " + std::to_string(spider.stage) +
                                    ", outside 1 to " + std::to_string(lastStage)};
                }
                return spider;
            });
        read.boxes = readEntries<SavedBox>(root, "boxes", "box",
                                           [](const json& entry, const std::string& name) {
                                               return SavedBox{readNumber<float>(entry, "x", name),
                                                               readNumber<float>(entry, "y", name)};
                                           });
        read.money = readNumber<int>(root, "money", "the board");
        if (const std::size_t things = read.spiders.size() + read.boxes.size();
            things > mostThingsInASave) {
            throw NotABoard{"it holds " + std::to_string(things) + " things, more than the " +
                            std::to_string(mostThingsInASave) + " a board may hold"};
        }
        board = std::move(read);
        return true;
    } catch (const json::exception& error) {
        problem = std::string("it is not JSON: ") + error.what();
    } catch (const NotABoard& notABoard) {
        problem = notABoard.problem;
    }
    return false;
}
