#include "game/Phases.hpp"

#include "assets/TextureManager.hpp"

#include <SFML/Graphics/RectangleShape.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

constexpr int highestMergingStage = 11;
constexpr std::size_t mostThingsBeforeSpawn = 50;
constexpr std::size_t mostBoxesBeforeSpawn = 10;

// A dropped spider merges with the first other spider of its stage that it
// overlaps; it evolves where it lies and the other one goes.
void mergeDropped(std::vector<Spider>& spiders, Spider& dropped) {
    const sf::FloatRect bounds = dropped.sprite.getGlobalBounds();
    for (const Spider& other : spiders) {
        if (other != dropped && bounds.intersects(other.sprite.getGlobalBounds()) &&
            other.stage == dropped.stage && dropped.stage <= highestMergingStage) {
            const Spider partner = other;
            dropped.evolve();
            dropped.dropped = false;
            spiders.erase(std::find(spiders.begin(), spiders.end(), partner));
            return;
        }
    }
    dropped.dropped = false;
}

bool roomToSpawn(const std::vector<Spider>& spiders, const std::vector<Box>& boxes) {
    return spiders.size() + boxes.size() <= mostThingsBeforeSpawn &&
           boxes.size() <= mostBoxesBeforeSpawn;
}

void wander(Spider& spider, int& money, std::mt19937& rng) {
    if (spider.moveClock.getElapsedTime() > sf::milliseconds(spider.moveInterval)) {
        spider.moveInterval = std::uniform_int_distribution<int>(1000, 5000)(rng);
        std::uniform_real_distribution<float> step(-50.f, 50.f);
        const float dy = step(rng);
        const float dx = step(rng);
        spider.sprite.move(dx, dy);
        addMoney(money, spider.earnMoney());
        spider.moveClock.restart();
    }
    keepOnBoard(spider);
}

} // namespace

void addMoney(int& money, int amount) {
    const std::int64_t sum = static_cast<std::int64_t>(money) + amount;
    money = static_cast<int>(std::clamp<std::int64_t>(sum, std::numeric_limits<int>::min(),
                                                      std::numeric_limits<int>::max()));
}

void keepOnBoard(Spider& spider) {
    const sf::FloatRect bounds = spider.sprite.getGlobalBounds();
    const sf::Vector2f position = spider.sprite.getPosition();
    const sf::Vector2f onBoard(
        std::clamp(position.x, 0.f, std::max(0.f, boardSize - bounds.width)),
        std::clamp(position.y, 0.f, std::max(0.f, boardSize - bounds.height)));
    // Moving a sprite makes it work out its transform again: only when needed.
    if (onBoard != position) {
        spider.sprite.setPosition(onBoard);
    }
}

sf::Vector2f randomBoxPosition(std::mt19937& rng) {
    // Every box keeps the size of its first picture.
    const sf::Vector2u size = TextureManager::getTexture("box_damage_0").getSize();
    const float width = 0.25f * static_cast<float>(size.x);
    const float height = 0.25f * static_cast<float>(size.y);
    const float y =
        std::uniform_real_distribution<float>(0.f, std::max(0.f, boardSize - height))(rng);
    const float x =
        std::uniform_real_distribution<float>(0.f, std::max(0.f, boardSize - width))(rng);
    return {x, y};
}

int drawSpawnDelay(std::random_device& randomDevice) {
    return std::uniform_int_distribution<int>(5000, 10000)(randomDevice);
}

void handleInput(const sf::Event& event, const sf::RenderTarget& window,
                 std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money,
                 InputSeen& seen) {
    switch (event.type) {
    case sf::Event::MouseButtonPressed:
        handleMousePress(spiders, boxes, money,
                         window.mapPixelToCoords({event.mouseButton.x, event.mouseButton.y}));
        seen.boardTouched = seen.redraw = true;
        break;
    case sf::Event::MouseButtonReleased:
    case sf::Event::LostFocus:
        handleMouseRelease(spiders);
        seen.boardTouched = seen.redraw = true;
        break;
    case sf::Event::MouseMoved:
        // A held spider's new place changes the picture, which draws it.
        moveHeldSpider(spiders, window.mapPixelToCoords({event.mouseMove.x, event.mouseMove.y}));
        break;
    case sf::Event::GainedFocus:
    case sf::Event::MouseEntered:
    case sf::Event::Resized:
        // The window may show nothing or old pixels there: draw it again now.
        seen.redraw = true;
        break;
    default:
        break;
    }
}

void handleMousePress(std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money,
                      sf::Vector2f point) {
    for (Spider& spider : spiders) {
        if (spider.sprite.getGlobalBounds().contains(point)) {
            spider.dragging = true;
            addMoney(money, spider.earnMoney());
            break;
        }
    }

    for (Box& box : boxes) {
        if (box.sprite.getGlobalBounds().contains(point)) {
            box.hit();
            if (box.damage >= 3) {
                const sf::Vector2f place = box.sprite.getPosition();
                const Box broken = box;
                spiders.emplace_back(1, place.x, place.y);
                boxes.erase(std::find(boxes.begin(), boxes.end(), broken));
            }
            break;
        }
    }
}

void handleMouseRelease(std::vector<Spider>& spiders) {
    for (Spider& spider : spiders) {
        if (spider.dragging) {
            spider.dragging = false;
            spider.dropped = true;
        }
    }
}

void moveHeldSpider(std::vector<Spider>& spiders, sf::Vector2f point) {
    for (Spider& spider : spiders) {
        if (spider.dragging) {
            const sf::FloatRect bounds = spider.sprite.getGlobalBounds();
            spider.sprite.setPosition(point.x - 0.5f * bounds.width,
                                      point.y - 0.5f * bounds.height);
            return;
        }
    }
}

void updateSpiders(std::vector<Spider>& spiders, int& money, std::mt19937& rng) {
    for (Spider& spider : spiders) {
        if (spider.dragging) {
            return;
        }
        if (spider.dropped) {
            mergeDropped(spiders, spider);
            return;
        }
        wander(spider, money, rng);
    }
}

bool spawnBoxes(std::vector<Spider>& spiders, std::vector<Box>& boxes, std::mt19937& rng,
                std::random_device& randomDevice, sf::Clock& spawnClock, int& spawnDelay) {
    if (!roomToSpawn(spiders, boxes) ||
        spawnClock.getElapsedTime() <= sf::milliseconds(spawnDelay)) {
        return false;
    }
    const sf::Vector2f place = randomBoxPosition(rng);
    boxes.emplace_back(place.x, place.y);
    spawnDelay = drawSpawnDelay(randomDevice);
    spawnClock.restart();
    return true;
}

sf::Time untilSpawn(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                    const sf::Clock& spawnClock, int spawnDelay) {
    if (!roomToSpawn(spiders, boxes)) {
        return sf::seconds(3600);
    }
    // The box comes once the delay is more than over.
    return std::max(sf::Time::Zero, sf::milliseconds(spawnDelay) - spawnClock.getElapsedTime() +
                                        sf::microseconds(1));
}

std::string moneyLabel(int money) {
    return "Money: " + std::to_string(money);
}

void drawScene(sf::RenderTarget& target, const sf::Sprite& backgroundSprite,
               const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
               sf::Text& moneyText, int money) {
    moneyText.setString(moneyLabel(money));
    target.clear(sf::Color::White);
    target.draw(backgroundSprite);
    for (const Spider& spider : spiders) {
        target.draw(spider.sprite);
    }
    for (const Box& box : boxes) {
        target.draw(box.sprite);
    }
    target.draw(moneyText);
}

std::string wrapToWidth(const std::string& text, sf::Text& measure, float width) {
    std::string wrapped;
    std::string line;
    const auto fits = [&](const std::string& candidate) {
        measure.setString(candidate);
        return measure.getLocalBounds().width <= width;
    };
    for (std::size_t at = 0; at <= text.size(); ++at) {
        const char c = at < text.size() ? text[at] : '\n';
        if (c == '\n') {
            wrapped += line + '\n';
            line.clear();
        } else if (c == ' ' || fits(line + c)) {
            line += c;
        } else {
            // Broken at the last space that fits, or inside a word with none.
            const std::size_t space = line.rfind(' ');
            const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
            wrapped += line.substr(0, space == std::string::npos ? line.size() : space) + '\n';
            line = rest + c;
        }
    }
    return wrapped;
}

void drawNotice(sf::RenderTarget& target, const sf::Font& font, const std::string& notice) {
    if (notice.empty()) {
        return;
    }
    constexpr float margin = 30.f;
    sf::Text text("", font, 20);
    text.setString(wrapToWidth(notice, text, boardSize - 2 * margin));
    text.setFillColor(sf::Color::White);
    const sf::FloatRect bounds = text.getLocalBounds();
    sf::RectangleShape band({boardSize, bounds.height + 2 * margin});
    band.setPosition(0.f, (boardSize - band.getSize().y) / 2);
    band.setFillColor(sf::Color(90, 20, 20, 225));
    text.setPosition(margin, band.getPosition().y + margin - bounds.top);
    target.draw(band);
    target.draw(text);
}

void drawFailureLine(sf::RenderTarget& target, const sf::Font& font, const std::string& line) {
    if (line.empty()) {
        return;
    }
    // One short line along the bottom edge: a long reason is cut, with "...",
    // and the whole of it is on stderr.
    constexpr float margin = 3.f;
    sf::Text text("", font, 14);
    sf::String shown = sf::String::fromUtf8(line.begin(), line.end());
    const auto fits = [&](const sf::String& candidate) {
        text.setString(candidate);
        return text.getLocalBounds().width <= boardSize - 2 * margin;
    };
    if (!fits(shown)) {
        while (!shown.isEmpty() && !fits(shown + "...")) {
            shown.erase(shown.getSize() - 1);
        }
        shown += "...";
    }
    text.setString(shown);
    text.setFillColor(sf::Color::White);
    const float height = font.getLineSpacing(text.getCharacterSize()) + 2 * margin;
    sf::RectangleShape strip({boardSize, height});
    strip.setPosition(0.f, boardSize - height);
    strip.setFillColor(sf::Color(90, 20, 20, 200));
    text.setPosition(margin, strip.getPosition().y + margin);
    target.draw(strip);
    target.draw(text);
}
