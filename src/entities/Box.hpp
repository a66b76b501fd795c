#pragma once

#include <SFML/Graphics/Sprite.hpp>

// Copies keep the id.
class Box {
public:
    int damage; // hits taken; hitsThatBreakABox once broken
    sf::Sprite sprite;
    int id;

    inline static int nextId = 0;

    Box(double x, double y);

    void hit();
};
