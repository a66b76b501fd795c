#include "entities/Spider.hpp"

#include "assets/TextureManager.hpp"
#include "entities/Board.hpp"

#include <string>

Spider::Spider(int stage, double x, double y)
    : stage(stage), dragging(false), dropped(false), moveInterval(0), id(nextId++) {
    sprite.setTexture(TextureManager::getTexture("spider_stage_" + std::to_string(stage)));
    sprite.setPosition(static_cast<float>(x), static_cast<float>(y));
    sprite.setScale(spriteScale, spriteScale);
}

void Spider::evolve() {
    ++stage;
    sprite.setTexture(TextureManager::getTexture("spider_stage_" + std::to_string(stage)), true);
    sprite.setScale(spriteScale, spriteScale);
}
