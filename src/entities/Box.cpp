#include "entities/Box.hpp"

#include "assets/TextureManager.hpp"
#include "entities/Board.hpp"

#include <string>

Box::Box(double x, double y) : damage(0), id(nextId++) {
    sprite.setTexture(TextureManager::getTexture("box_damage_0"));
    sprite.setPosition(static_cast<float>(x), static_cast<float>(y));
    sprite.setScale(spriteScale, spriteScale);
}

void Box::hit() {
    ++damage;
    if (damage < hitsThatBreakABox) { // every picture has the first's size
        sprite.setTexture(TextureManager::getTexture("box_damage_" + std::to_string(damage)));
    }
}
