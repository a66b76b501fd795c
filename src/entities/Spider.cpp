#include "entities/Spider.hpp"

#include "assets/TextureManager.hpp"
#include "entities/Board.hpp"

#include <string>

int Spider::nextId = 0;

Spider::Spider(int stage, double x, double y)
    : stage(stage), dragging(false), dropped(false), moveInterval(0), id(nextId++) {
    setupSprite();
    sprite.setPosition(static_cast<float>(x), static_cast<float>(y));
}

void Spider::setupSprite() {
    const sf::Vector2f position = sprite.getPosition();
    sprite = sf::Sprite();
    sprite.setTexture(TextureManager::getTexture("spider_stage_" + std::to_string(stage)));
    sprite.setPosition(position);
    sprite.setScale(spriteScale, spriteScale);
}

void Spider::evolve() {
    ++stage;
    setupSprite();
}

int Spider::earnMoney() const {
    return stage * stage;
}
