#pragma once

#include <SFML/Graphics/Sprite.hpp>

// Copies keep the id, and equality compares ids only.
class Box {
public:
    int damage; // hits taken; hitsThatBreakABox once broken
    sf::Sprite sprite;
    int id;

    inline static int nextId = 0;

    Box(double x, double y);

    void hit();

    bool operator==(Box other) const { return id == other.id; }
};
