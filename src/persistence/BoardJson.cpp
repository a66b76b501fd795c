#include "persistence/BoardJson.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>

using nlohmann::json;

namespace {

constexpr int lowestStage = 1;
constexpr int highestStage = 12;

json coordinate(float value) {
    return static_cast<double>(value);
}

// A whole number as the save file allows it: any JSON number (a fraction is
// cut off toward zero) or a boolean (1 or 0), within the 32-bit range.
bool readInt(const json& value, const std::string& what, int& out, std::string& problem) {
    constexpr auto lowest = std::numeric_limits<int>::min();
    constexpr auto highest = std::numeric_limits<int>::max();
    switch (value.type()) {
    case json::value_t::boolean:
        out = value.get<bool>() ? 1 : 0;
        return true;
    case json::value_t::number_integer: {
        const auto number = value.get<std::int64_t>();
        if (number >= lowest && number <= highest) {
            out = static_cast<int>(number);
            return true;
        }
        break;
    }
    case json::value_t::number_unsigned: {
        const auto number = value.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(highest)) {
            out = static_cast<int>(number);
            return true;
        }
        break;
    }
    case json::value_t::number_float: {
        const double number = std::trunc(value.get<double>());
        if (number >= lowest && number <= highest) {
            out = static_cast<int>(number);
            return true;
        }
        break;
    }
    default:
        problem = what + " is not a number";
        return false;
    }
    problem = what + " is outside the 32-bit range";
    return false;
}

// A board coordinate: any JSON number that stays finite as a 32-bit float.
bool readCoordinate(const json& value, const std::string& what, float& out, std::string& problem) {
    if (!value.is_number()) {
        problem = what + " is not a number";
        return false;
    }
    // Refused before it is narrowed: a double beyond the float range has no
    // float to become.
    const double number = value.get<double>();
    if (!std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max()) {
        problem = what + " is too large";
        return false;
    }
    out = static_cast<float>(number);
    return true;
}

// The member `key` of an entry; problem set when it is absent.
const json* member(const json& entry, const char* key, const std::string& entryName,
                   std::string& problem) {
    const auto found = entry.find(key);
    if (found == entry.end()) {
        problem = entryName + " has no \"" + key + "\"";
        return nullptr;
    }
    return &*found;
}

// The array under `key`, or nullptr with no problem when the root has none.
bool entriesOf(const json& root, const char* key, const json*& entries, std::string& problem) {
    entries = nullptr;
    const auto found = root.find(key);
    if (found == root.end()) {
        return true;
    }
    if (!found->is_array()) {
        problem = std::string("\"") + key + "\" is not an array";
        return false;
    }
    entries = &*found;
    return true;
}

bool readPosition(const json& entry, const std::string& name, float& x, float& y,
                  std::string& problem) {
    const json* jsonX = member(entry, "x", name, problem);
    const json* jsonY = jsonX ? member(entry, "y", name, problem) : nullptr;
    return jsonY && readCoordinate(*jsonX, name + " \"x\"", x, problem) &&
           readCoordinate(*jsonY, name + " \"y\"", y, problem);
}

bool readSpider(const json& entry, const std::string& name, SavedSpider& spider,
                std::string& problem) {
    if (!entry.is_object()) {
        problem = name + " is not an object";
        return false;
    }
    const json* stage = member(entry, "stage", name, problem);
    if (!stage || !readPosition(entry, name, spider.x, spider.y, problem) ||
        !readInt(*stage, name + " \"stage\"", spider.stage, problem)) {
        return false;
    }
    if (spider.stage < lowestStage || spider.stage > highestStage) {
        problem = name + " has stage " + std::to_string(spider.stage) + ", outside 1 to 12";
        return false;
    }
    return true;
}

bool readBox(const json& entry, const std::string& name, SavedBox& box, std::string& problem) {
    if (!entry.is_object()) {
        problem = name + " is not an object";
        return false;
    }
    return readPosition(entry, name, box.x, box.y, problem);
}

} // namespace

std::string boardToJson(const SavedBoard& board) {
    json document;
    for (const SavedSpider& spider : board.spiders) {
        json entry = json::object();
        entry["stage"] = spider.stage;
        entry["x"] = coordinate(spider.x);
        entry["y"] = coordinate(spider.y);
        document["spiders"].push_back(std::move(entry));
    }
    for (const SavedBox& box : board.boxes) {
        json entry = json::object();
        entry["x"] = coordinate(box.x);
        entry["y"] = coordinate(box.y);
        document["boxes"].push_back(std::move(entry));
    }
    document["money"] = board.money;

    std::ostringstream out;
    out << document;
    return out.str();
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

    SavedBoard read;
    const json* spiders = nullptr;
    const json* boxes = nullptr;
    if (!entriesOf(root, "spiders", spiders, problem) ||
        !entriesOf(root, "boxes", boxes, problem)) {
        return false;
    }
    if (spiders) {
        for (const json& entry : *spiders) {
            SavedSpider spider{};
            if (!readSpider(entry, "spider " + std::to_string(read.spiders.size() + 1), spider,
                            problem)) {
                return false;
            }
            read.spiders.push_back(spider);
        }
    }
    if (boxes) {
        for (const json& entry : *boxes) {
            SavedBox box{};
            if (!readBox(entry, "box " + std::to_string(read.boxes.size() + 1), box, problem)) {
                return false;
            }
            read.boxes.push_back(box);
        }
    }
    const auto money = root.find("money");
    if (money == root.end()) {
        problem = "\"money\" is missing";
        return false;
    }
    if (!readInt(*money, "\"money\"", read.money, problem)) {
        return false;
    }

    board = std::move(read);
    return true;
}
