#pragma once

#include "entities/Board.hpp"
#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "game/Picture.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Text.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/System/Clock.hpp>
#include <SFML/Window/Event.hpp>

#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <vector>

// The wait for something that is not coming: far beyond any other wake-up.
const sf::Time farAhead = sf::seconds(3600);

// y drawn first, then x.
sf::Vector2f randomBoxPosition(std::mt19937& rng);

int drawSpawnDelay(std::random_device& randomDevice);

struct InputSeen {
    bool boardTouched = false; // a press, a release or a lost focus
    bool redraw = false;       // the window must be drawn again at once
};

// A lost focus drops the held spiders: the release may never reach the window.
void handleInput(const sf::Event& event, sf::RenderTarget& window, std::vector<Spider>& spiders,
                 std::vector<Box>& boxes, int& money, InputSeen& seen);

// The largest centred square on whole pixels.
sf::FloatRect boardViewport(sf::Vector2u size);

// Any button picks up (and is paid by) the first spider there and hits the first box.
void handleMousePress(std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money,
                      sf::Vector2f point);
void handleMouseRelease(std::vector<Spider>& spiders);

void moveDraggedSpider(std::vector<Spider>& spiders, sf::Vector2f point);

// spiders.size() when none is held.
std::size_t draggedSpider(const std::vector<Spider>& spiders);

// Spiders, then boxes, in their order, and the dragged spider last of all.
void forEachSpriteInDrawingOrder(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                                 const std::function<void(const sf::Sprite&)>& visit);

// Spiders before the first held or dropped one wander; a dropped one there may
// merge; it and those after it stand still, owed at most one step. `catchUp` (a
// minimized window wakes once a second) takes every step that came due.
void updateSpiders(std::vector<Spider>& spiders, int& money, std::mt19937& rng,
                   bool catchUp = false);

sf::Time untilSpidersMove(const std::vector<Spider>& spiders);

// The steps owed `elapsed` after the last, each counted from when the one
// before came due; leaves moveInterval as the rest from `elapsed` to the next.
int wanderSteps(Spider& spider, sf::Time elapsed, int& money, std::mt19937& rng);

// Whether a box came, which is saved at once.
bool spawnBoxes(std::vector<Spider>& spiders, std::vector<Box>& boxes, std::mt19937& rng,
                std::random_device& randomDevice, sf::Clock& spawnClock, int& spawnDelay);

// `farAhead` while the board has no room: only a press or a merge makes it.
sf::Time untilSpawn(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                    const sf::Clock& spawnClock, int spawnDelay);

std::string moneyLabel(int money);

float windowScale(const sf::RenderTarget& target);

// Whole window pixels, at least one.
unsigned screenPixels(float size, float scale);

// The label's letters and outline are made at their size on the screen and
// shrunk back, which the view undoes: sharp at any size.
void composeScene(Picture& picture, sf::Texture& background, const std::vector<Spider>& spiders,
                  const std::vector<Box>& boxes, sf::Text& moneyText, int money, float scale);
