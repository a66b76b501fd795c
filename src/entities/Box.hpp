#pragma once

#include <SFML/Graphics/Sprite.hpp>

// A crate on the board; the third hit breaks it. Plain value type: copies
// keep the id, and equality compares ids only.
class Box {
public:
    int damage; // hits taken: 0 to 2 while standing, 3 once broken
    sf::Sprite sprite;
    int id;

    static int nextId;

    Box(double x, double y);

    void hit();
    // Shows the picture for the current damage; keeps the first picture's size.
    void setTexture();

    bool operator==(Box other) const { return id == other.id; }
};
