#include "persistence/BoardJson.hpp"

#include "entities/Board.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <sstream>

using nlohmann::json;

namespace {

json coordinate(float value) {
    return static_cast<double>(value);
}

// A whole number as the save file allows it: any JSON number (a fraction is
// cut off toward zero) or a boolean (1 or 0), within the 32-bit range.
bool readInt(const json& value, const std::string& what, int& out, std::string& problem) {
    if (value.is_boolean()) {
        out = value.get<bool>() ? 1 : 0;
        return true;
    }
    if (!value.is_number()) {
        problem = what + " is not a number";
        return false;
    }
    // A double holds every 32-bit number exactly; one beyond is beyond either way.
    const double number = std::trunc(value.get<double>());
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
        problem = what + " is outside the 32-bit range";
        return false;
    }
    out = static_cast<int>(number);
    return true;
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

bool readPosition(const json& entry, const std::string& name, float& x, float& y,
                  std::string& problem) {
    const json* jsonX = member(entry, "x", name, problem);
    const json* jsonY = jsonX ? member(entry, "y", name, problem) : nullptr;
    return jsonY && readCoordinate(*jsonX, name + " \"x\"", x, problem) &&
           readCoordinate(*jsonY, name + " \"y\"", y, problem);
}

bool readSpider(const json& entry, const std::string& name, SavedSpider& spider,
                std::string& problem) {
    const json* stage = member(entry, "stage", name, problem);
    if (!stage || !readPosition(entry, name, spider.x, spider.y, problem) ||
        !readInt(*stage, name + " \"stage\"", spider.stage, problem)) {
        return false;
    }
    if (spider.stage < 1 || spider.stage > lastStage) {
        problem = name + " has stage " + std::to_string(spider.stage) + ", outside 1 to " +
                  std::to_string(lastStage);
        return false;
    }
    return true;
}

bool readBox(const json& entry, const std::string& name, SavedBox& box, std::string& problem) {
    return readPosition(entry, name, box.x, box.y, problem);
}

// Appends to `read` each object in the array under `key` (none when the root
// has no `key`), read by `readOne` and named `name` and its number.
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
        Entry one{};
        if (!entry.is_object()) {
            problem = entryName + " is not an object";
            return false;
        }
        if (!readOne(entry, entryName, one, problem)) {
            return false;
        }
        read.push_back(one);
    }
    return true;
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

    // Counted before any entry is read: a board far too big is refused at once.
    std::size_t things = 0;
    for (const char* key : {"spiders", "boxes"}) {
        const auto entries = root.find(key);
        things += entries != root.end() && entries->is_array() ? entries->size() : 0;
    }
    if (things > mostThingsInASave) {
        problem = "it holds " + std::to_string(things) + " things, more than the " +
                  std::to_string(mostThingsInASave) + " a board may hold";
        return false;
    }
    SavedBoard read;
    if (!readEntries(root, "spiders", "spider", read.spiders, problem, readSpider) ||
        !readEntries(root, "boxes", "box", read.boxes, problem, readBox)) {
        return false;
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
