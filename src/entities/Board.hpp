#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sf {
class Sprite;
}

// The board's numbers, each in this one place. A stage beyond the last also
// needs its picture (assets/textures, drawn by assets/art/make_art.py).

// Spiders go from stage 1 up to this one, which does not merge further.
constexpr int lastStage = 12;

// The board is this many window pixels square: 0 to 800 both ways.
constexpr float boardSide = 800.f;

// A new box comes only while the board holds at most this many boxes, and at
// most this many things (boxes and spiders) in all.
constexpr std::size_t mostBoxesBeforeSpawn = 10;
constexpr std::size_t mostThingsBeforeSpawn = 50;

// A save of more things than this is not a board: play makes some fifty. A
// board this large loads in a few hundredths of a second but is drawn about
// once a second on a software renderer; one far larger would freeze the game.
constexpr std::size_t mostThingsInASave = 10000;
// Nor is a file larger than this, which is not even read: a board of the most
// things takes well under a tenth of it, however it is laid out.
constexpr std::uintmax_t mostSaveBytes = 8 << 20;

// Moves a thing's sprite the least that puts its whole picture on the board.
// Its size comes from its picture, not from where it is: far off the board a
// float cannot hold a place and a size together.
void keepOnBoard(sf::Sprite& sprite);

// Every picture the game asks the texture registry for: "background",
// "box_damage_0" to "box_damage_2" and "spider_stage_1" to the last stage's.
std::vector<std::string> gameTextureNames();
