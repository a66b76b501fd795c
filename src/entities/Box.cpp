#include "entities/Box.hpp"

#include "assets/TextureManager.hpp"
#include "entities/Board.hpp"

#include <string>

int Box::nextId = 0;

Box::Box(double x, double y) : damage(0), id(nextId++) {
    setTexture();
    sprite.setPosition(static_cast<float>(x), static_cast<float>(y));
    sprite.setScale(spriteScale, spriteScale);
}

void Box::hit() {
    ++damage;
    if (damage < hitsThatBreakABox) {
        setTexture();
    }
}

void Box::setTexture() {
    sprite.setTexture(TextureManager::getTexture("box_damage_" + std::to_string(damage)));
}
