#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sf {
class Sprite;
}

// The rules' numbers. A stage past lastStage also needs a hue in
// assets/art/make_art.py and its picture (scripts/make-art).
constexpr int lastStage = 12;
constexpr float boardSide = 800.f;   // window pixels at 100%, both ways
constexpr float spriteScale = 0.25f; // pictures are drawn four times their size on the board
constexpr int hitsThatBreakABox = 3;
constexpr std::size_t boxesOnANewBoard = 2;

// A box spawns while the board holds at most these.
constexpr std::size_t mostBoxesBeforeSpawn = 10;
constexpr std::size_t mostThingsBeforeSpawn = 50;

// Milliseconds, both ends included.
constexpr int shortestSpawnDelay = 5000;
constexpr int longestSpawnDelay = 10000;
constexpr int shortestWanderRest = 1000;
constexpr int longestWanderRest = 5000;
constexpr float longestWanderStep = 50.f; // board pixels each way

// Saving, in milliseconds (the save-file reader, fuzzed on its own, links no
// SFML): play or a retry reaches the writer within playSaveDelay, leaving the
// write half a second to land within 2 s.
constexpr int playSaveDelay = 1500;
constexpr int wanderingSaveDelay = 30000;
// An end waits at most this for the disk: inside the 5 s Windows gives a
// window that does not answer, or a console that is closing.
constexpr int endBoundMs = 4000;
// A close repeated once the close notice has been on screen this long quits
// unsaved; a sooner one (queued, a key held down) changes nothing.
constexpr int noticeReadMs = 1000;

// Play makes some fifty things; a board of this many is drawn about once a
// second on a software renderer, and one far larger would freeze the game.
constexpr std::size_t mostThingsInASave = 10000;
constexpr std::uintmax_t mostSaveBytes = 8 << 20; // not even read: the largest board takes a tenth

// The least move that puts the whole picture on the board. The size comes from
// the picture: far off the board a float cannot hold a place and a size together.
void keepOnBoard(sf::Sprite& sprite);

std::vector<std::string> gameTextureNames();
