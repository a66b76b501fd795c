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

// The wait for something that is not coming (no room for a box, no spider
// step): far beyond any other wake-up.
const sf::Time farAhead = sf::seconds(3600);

// Adds to the money total, stopping at the largest 32-bit amount instead of
// wrapping round to a negative one.
void addMoney(int& money, int amount);

// A random place for a new box, wholly on the board: y first, then x.
sf::Vector2f randomBoxPosition(std::mt19937& rng);

// Milliseconds until the next box, 5000 to 10000.
int drawSpawnDelay(std::random_device& randomDevice);

// What a frame's input events did.
struct InputSeen {
    bool boardTouched = false; // a press, a release or a lost focus, which may change the board
    bool redraw = false;       // the window must be drawn again at once
};

// The player's input events, each at its own point mapped to the board
// through `window`'s view: a press, a release, a move, which a dragged spider
// follows, and a lost focus, which drops every dragged spider as a release would
// (the release itself may never reach the window). A regained focus, the mouse
// entering or a new size ask for the window to be drawn again; anything else
// is left alone. Adds what the event did to `seen`.
void handleInput(const sf::Event& event, const sf::RenderTarget& window,
                 std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money,
                 InputSeen& seen);

// Mouse press (any button): picks up the first spider under the point, which
// pays its earnings, then hits the first box under the same point. The third
// hit breaks the box and leaves a stage-1 spider in its place.
void handleMousePress(std::vector<Spider>& spiders, std::vector<Box>& boxes, int& money,
                      sf::Vector2f point);

// Mouse release (any button): every dragged spider is dropped.
void handleMouseRelease(std::vector<Spider>& spiders);

// The first dragged spider, if any, puts its picture's centre on `point`, unclamped.
void moveDraggedSpider(std::vector<Spider>& spiders, sf::Vector2f point);

// The index of the spider that follows the pointer, the first dragged one;
// spiders.size() when none is dragged.
std::size_t draggedSpider(const std::vector<Spider>& spiders);

// Calls `visit` with every sprite of the board in the order it is drawn: the
// spiders, then the boxes, each in their sequence's order, except that the
// dragged spider (see draggedSpider) comes last of all, on top of everything.
void forEachSpriteInDrawingOrder(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                                 const std::function<void(const sf::Sprite&)>& visit);

// Spider phase: the free spiders before the first dragged or dropped one
// wander and earn; a dropped one there may merge; it and those after it
// stand still. A free spider makes one step once its interval has run out;
// with `catchUp` (a minimized window, whose loop wakes only once a second) it
// makes every step that came due since its last one (wanderSteps).
void updateSpiders(std::vector<Spider>& spiders, int& money, std::mt19937& rng,
                   bool catchUp = false);

// How long until updateSpiders has work: at once for a dropped spider, else
// just after the soonest wander step is due; `farAhead` when none is.
sf::Time untilSpidersMove(const std::vector<Spider>& spiders);

// The wander steps `spider` has come to `elapsed` after its last step (on
// its moveClock), each counted from the moment the one before came due, not
// from `elapsed`: a loop that wakes late loses none. Each step draws the next
// interval (1 to 5 s), moves the spider up to 50 px each way, keeps it on the
// board and pays its earnings. Afterwards moveInterval is the rest left from
// `elapsed` to the next step, for a clock restarted at `elapsed`. Returns the
// number of steps made.
int wanderSteps(Spider& spider, sf::Time elapsed, int& money, std::mt19937& rng);

// Spawn phase: a new box once the delay has run out, while the board holds at
// most mostThingsBeforeSpawn things and mostBoxesBeforeSpawn boxes. Returns whether a box came,
// which the game saves at once.
bool spawnBoxes(std::vector<Spider>& spiders, std::vector<Box>& boxes, std::mt19937& rng,
                std::random_device& randomDevice, sf::Clock& spawnClock, int& spawnDelay);

// How long until spawnBoxes brings a box; `farAhead` while the board
// has no room for one (only a press or a merge makes room).
sf::Time untilSpawn(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                    const sf::Clock& spawnClock, int spawnDelay);

// "Money: " followed by the amount; at the largest amount, where earnings no
// longer count, " (full)" after it.
std::string moneyLabel(int money);

// The money label's size, in board pixels.
constexpr unsigned moneyLabelSize = 24;

// The light outline round the label's letters, in board pixels, which keeps
// them readable over dark spiders.
constexpr float moneyLabelOutline = 2.f;

// How many window pixels show one board pixel: 1 for an 800 px window.
float windowScale(const sf::RenderTarget& target);

// Whole window pixels, at least one, for `size` board pixels on a window
// `scale` times the board.
unsigned onScreen(float size, float scale);

// Sets `text` `size` board pixels high, drawn at its own size on a window
// `scale` times the board: its letters are made at size x scale pixels and
// shrunk back by as much, which the view then undoes, so that they are as
// sharp on a large window as at 800 px.
void setScreenSize(sf::Text& text, unsigned size, float scale);

// Draw phase, composed: adds to `picture` the background, the board's
// sprites in drawing order (see forEachSpriteInDrawingOrder), then the money
// label, for a window `scale` times the board (windowScale). The background is
// smoothed unless the window shows it pixel for pixel, and the label is set at
// its size on the screen, with a white outline made at that size too.
void composeScene(Picture& picture, sf::Texture& background, const std::vector<Spider>& spiders,
                  const std::vector<Box>& boxes, sf::Text& moneyText, int money, float scale);
