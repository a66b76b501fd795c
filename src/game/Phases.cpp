#include "game/Phases.hpp"

#include "assets/TextureManager.hpp"

#include <SFML/Graphics/View.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr unsigned moneyLabelSize = 24;
constexpr float moneyLabelOutline = 2.f; // keeps the letters readable over dark spiders

// Stops at the largest 32-bit amount rather than wrapping round.
void addMoney(int& money, int amount) {
    const std::int64_t sum = static_cast<std::int64_t>(money) + amount;
    money = static_cast<int>(std::clamp<std::int64_t>(sum, std::numeric_limits<int>::min(),
                                                      std::numeric_limits<int>::max()));
}

// Merges with the first other spider of its stage it overlaps: it evolves
// where it lies and the other goes.
void mergeDropped(std::vector<Spider>& spiders, Spider& dropped) {
    dropped.dropped = false;
    const sf::FloatRect bounds = dropped.sprite.getGlobalBounds();
    for (const Spider& other : spiders) {
        if (other.id != dropped.id && bounds.intersects(other.sprite.getGlobalBounds()) &&
            other.stage == dropped.stage && dropped.stage < lastStage) {
            dropped.evolve();
            spiders.erase(spiders.begin() + (&other - spiders.data()));
            return;
        }
    }
}

bool roomToSpawn(const std::vector<Spider>& spiders, const std::vector<Box>& boxes) {
    return spiders.size() + boxes.size() <= mostThingsBeforeSpawn &&
           boxes.size() <= mostBoxesBeforeSpawn;
}

// A microsecond past due: never a step or a box early.
sf::Time untilDue(int restMs, const sf::Clock& clock) {
    return std::max(sf::Time::Zero,
                    sf::milliseconds(restMs) - clock.getElapsedTime() + sf::microseconds(1));
}

void wander(Spider& spider, int& money, std::mt19937& rng, bool catchUp) {
    sf::Time elapsed = spider.moveClock.getElapsedTime();
    if (!catchUp) {
        // A shown spider whose loop stalled makes one step, counted from now.
        elapsed = std::min(elapsed, sf::milliseconds(std::max(spider.moveInterval, 0)) +
                                        sf::microseconds(1));
    }
    if (wanderSteps(spider, elapsed, money, rng) > 0) {
        spider.moveClock.restart();
    }
    keepOnBoard(spider.sprite);
}

std::size_t firstStillSpider(const std::vector<Spider>& spiders) {
    return static_cast<std::size_t>(
        std::find_if(spiders.begin(), spiders.end(),
                     [](const Spider& spider) { return spider.dragging || spider.dropped; }) -
        spiders.begin());
}

} // namespace

int wanderSteps(Spider& spider, sf::Time elapsed, int& money, std::mt19937& rng) {
    if (elapsed <= sf::milliseconds(spider.moveInterval)) {
        return 0;
    }
    // A spider with no rest yet (a new or loaded one) is due now.
    sf::Time late =
        spider.moveInterval > 0 ? elapsed - sf::milliseconds(spider.moveInterval) : sf::Time::Zero;
    int steps = 0;
    do {
        spider.moveInterval =
            std::uniform_int_distribution<int>(shortestWanderRest, longestWanderRest)(rng);
        std::uniform_real_distribution<float> step(-longestWanderStep, longestWanderStep);
        const float dy = step(rng);
        const float dx = step(rng);
        spider.sprite.move(dx, dy);
        keepOnBoard(spider.sprite);
        addMoney(money, spider.earnMoney());
        late -= sf::milliseconds(spider.moveInterval);
        ++steps;
    } while (late > sf::Time::Zero);
    // Rounded up to whole milliseconds: never a step early.
    spider.moveInterval = static_cast<int>((-late.asMicroseconds() + 999) / 1000);
    return steps;
}

sf::Vector2f randomBoxPosition(std::mt19937& rng) {
    const sf::Vector2u size = TextureManager::getTexture("box_damage_0").getSize();
    const auto upTo = [&rng](unsigned side) {
        const float room = std::max(0.f, boardSide - spriteScale * static_cast<float>(side));
        return std::uniform_real_distribution<float>(0.f, room)(rng);
    };
    const float y = upTo(size.y);
    return {upTo(size.x), y};
}

int drawSpawnDelay(std::random_device& randomDevice) {
    return std::uniform_int_distribution<int>(shortestSpawnDelay, longestSpawnDelay)(randomDevice);
}

void handleInput(const sf::Event& event, sf::RenderTarget& window, std::vector<Spider>& spiders,
                 std::vector<Box>& boxes, int& money, InputSeen& seen) {
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
        moveDraggedSpider(spiders, window.mapPixelToCoords({event.mouseMove.x, event.mouseMove.y}));
        break;
    case sf::Event::Resized: {
        sf::View board(sf::FloatRect(0.f, 0.f, boardSide, boardSide));
        board.setViewport(boardViewport({event.size.width, event.size.height}));
        window.setView(board);
        seen.redraw = true;
        break;
    }
    case sf::Event::GainedFocus:
    case sf::Event::MouseEntered:
        seen.redraw = true; // the window may show nothing or old pixels there
        break;
    default:
        break;
    }
}

sf::FloatRect boardViewport(sf::Vector2u size) {
    const sf::Vector2f window(size);
    const float side = std::min(window.x, window.y);
    return {std::floor((window.x - side) / 2) / window.x,
            std::floor((window.y - side) / 2) / window.y, side / window.x, side / window.y};
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
            if (box.damage >= hitsThatBreakABox) {
                spiders.emplace_back(1, box.sprite.getPosition().x, box.sprite.getPosition().y);
                boxes.erase(boxes.begin() + (&box - boxes.data()));
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

void moveDraggedSpider(std::vector<Spider>& spiders, sf::Vector2f point) {
    const std::size_t dragged = draggedSpider(spiders);
    if (dragged < spiders.size()) {
        sf::Sprite& sprite = spiders[dragged].sprite;
        const sf::FloatRect bounds = sprite.getGlobalBounds();
        sprite.setPosition(point.x - 0.5f * bounds.width, point.y - 0.5f * bounds.height);
    }
}

std::size_t draggedSpider(const std::vector<Spider>& spiders) {
    return static_cast<std::size_t>(
        std::find_if(spiders.begin(), spiders.end(),
                     [](const Spider& spider) { return spider.dragging; }) -
        spiders.begin());
}

void forEachSpriteInDrawingOrder(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                                 const std::function<void(const sf::Sprite&)>& visit) {
    const std::size_t dragged = draggedSpider(spiders);
    for (std::size_t i = 0; i < spiders.size(); ++i) {
        if (i != dragged) {
            visit(spiders[i].sprite);
        }
    }
    for (const Box& box : boxes) {
        visit(box.sprite);
    }
    if (dragged < spiders.size()) {
        visit(spiders[dragged].sprite);
    }
}

void updateSpiders(std::vector<Spider>& spiders, int& money, std::mt19937& rng, bool catchUp) {
    const std::size_t still = firstStillSpider(spiders);
    for (std::size_t i = 0; i < spiders.size(); ++i) {
        if (i < still) {
            wander(spiders[i], money, rng, catchUp);
        } else if (spiders[i].moveClock.getElapsedTime() >
                   sf::milliseconds(spiders[i].moveInterval)) {
            spiders[i].moveInterval = 0; // a rest run out while standing still: one step due now
        }
    }
    if (still < spiders.size() && spiders[still].dropped) {
        mergeDropped(spiders, spiders[still]);
    }
}

sf::Time untilSpidersMove(const std::vector<Spider>& spiders) {
    const std::size_t still = firstStillSpider(spiders);
    if (still < spiders.size() && spiders[still].dropped) {
        return sf::Time::Zero;
    }
    sf::Time rest = farAhead;
    for (std::size_t i = 0; i < still; ++i) {
        rest = std::min(rest, untilDue(spiders[i].moveInterval, spiders[i].moveClock));
    }
    return rest;
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
    return roomToSpawn(spiders, boxes) ? untilDue(spawnDelay, spawnClock) : farAhead;
}

std::string moneyLabel(int money) {
    const std::string amount = "Money: " + std::to_string(money);
    return money == std::numeric_limits<int>::max() ? amount + " (full)" : amount;
}

float windowScale(const sf::RenderTarget& target) {
    const sf::Vector2u size = target.getSize();
    return static_cast<float>(std::min(size.x, size.y)) / boardSide;
}

unsigned screenPixels(float size, float scale) {
    return std::max(1u, static_cast<unsigned>(std::lround(size * scale)));
}

void composeScene(Picture& picture, sf::Texture& background, const std::vector<Spider>& spiders,
                  const std::vector<Box>& boxes, sf::Text& moneyText, int money, float scale) {
    // Nearest pixels would make steps of the thin branches at other sizes.
    background.setSmooth(scale != 1.f);
    moneyText.setCharacterSize(screenPixels(static_cast<float>(moneyLabelSize), scale));
    moneyText.setScale(1 / scale, 1 / scale);
    moneyText.setOutlineColor(sf::Color::White);
    moneyText.setOutlineThickness(moneyLabelOutline * scale);
    const std::string label = moneyLabel(money);
    moneyText.setString(sf::String::fromUtf8(label.begin(), label.end()));
    picture.addBackground(background);
    forEachSpriteInDrawingOrder(spiders, boxes,
                                [&picture](const sf::Sprite& sprite) { picture.add(sprite); });
    picture.add(moneyText);
}
