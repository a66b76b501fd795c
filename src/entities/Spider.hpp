#pragma once

#include <SFML/Graphics/Sprite.hpp>
#include <SFML/System/Clock.hpp>

// Copies keep the id, and equality compares ids only.
class Spider {
public:
    int stage;
    bool dragging;
    bool dropped;
    int moveInterval; // milliseconds of rest before the next wander step
    sf::Clock moveClock;
    sf::Sprite sprite; // its position is the picture's top-left corner
    int id;

    inline static int nextId = 0;

    Spider(int stage, double x, double y);

    void evolve();
    int earnMoney() const { return stage * stage; }

    bool operator==(Spider other) const { return id == other.id; }
};
