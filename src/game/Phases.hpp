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

// A place wholly on the board for a new box: y drawn first, then x.
sf::Vector2f randomBoxPosition(std::mt19937& rng);

int drawSpawnDelay(std::random_device& randomDevice);

struct InputSeen {
    bool boardTouched = false; // a press, a release or a lost focus
    bool redraw = false;       // the window must be drawn again at once
};

// Acts on one event at its own point, mapped to the board through the
// window's view. A lost focus drops the held spiders, since the release may
// never reach the window. A new size shows the whole board, square and
// centred (boardViewport).
void handleInput(const sf::Event& event, sf::RenderTarget& window, std::vector<Spider>& spiders,
                 std::vector<Box>& boxes, int& money, InputSeen& seen);

// Where in a window of `size` the board is drawn, as parts of its width and
// height: the largest square, centred, on whole pixels.
sf::FloatRect boardViewport(sf::Vector2u size);

// Any button: picks up the first spider under the point, which pays, then
// hits the first box under it.
void handleMousePress(std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money,
                      sf::Vector2f point);
void handleMouseRelease(std::vector<Spider>& spiders);

// The dragged spider centres its picture on `point`, unclamped.
void moveDraggedSpider(std::vector<Spider>& spiders, sf::Vector2f point);

// The first held spider's index, or spiders.size().
std::size_t draggedSpider(const std::vector<Spider>& spiders);

// Spiders, then boxes, in their order, and the dragged spider last of all.
void forEachSpriteInDrawingOrder(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                                 const std::function<void(const sf::Sprite&)>& visit);

// The free spiders before the first held or dropped one wander and earn; a
// dropped one there may merge; it and the spiders after it stand still and
// are owed at most the one step that came due meanwhile. A spider makes one
// step once its rest is over, or with `catchUp` (a minimized window, whose
// loop wakes once a second) every step that came due (wanderSteps).
void updateSpiders(std::vector<Spider>& spiders, int& money, std::mt19937& rng,
                   bool catchUp = false);

// At once for a dropped spider, else just after the soonest step.
sf::Time untilSpidersMove(const std::vector<Spider>& spiders);

// Makes the steps `spider` is owed `elapsed` after its last one, each counted
// from when the one before came due, so a loop that wakes late loses none.
// Leaves moveInterval as the rest from `elapsed` to the next step. Returns the
// number of steps.
int wanderSteps(Spider& spider, sf::Time elapsed, int& money, std::mt19937& rng);

// A box once the delay has run out, while the board has room. Returns
// whether one came, which is saved at once.
bool spawnBoxes(std::vector<Spider>& spiders, std::vector<Box>& boxes, std::mt19937& rng,
                std::random_device& randomDevice, sf::Clock& spawnClock, int& spawnDelay);

// `farAhead` while the board has no room: only a press or a merge makes it.
sf::Time untilSpawn(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                    const sf::Clock& spawnClock, int spawnDelay);

// " (full)" after the largest amount, where earnings stop counting.
std::string moneyLabel(int money);

// Window pixels for one board pixel: the board's side on the window over 800.
float windowScale(const sf::RenderTarget& target);

// Whole window pixels, at least one, for `size` board pixels.
unsigned onScreen(float size, float scale);

// Adds the background, the sprites in drawing order and the money label, for
// a window `scale` times the board. The label's letters and outline are made
// at their size on the screen and shrunk back, which the view undoes, so
// they are sharp at any size.
void composeScene(Picture& picture, sf::Texture& background, const std::vector<Spider>& spiders,
                  const std::vector<Box>& boxes, sf::Text& moneyText, int money, float scale);
