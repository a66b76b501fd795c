#include "entities/Board.hpp"

#include <SFML/Graphics/Sprite.hpp>

#include <algorithm>

void keepOnBoard(sf::Sprite& sprite) {
    const sf::FloatRect picture = sprite.getLocalBounds();
    const sf::Vector2f scale = sprite.getScale();
    const sf::Vector2f position = sprite.getPosition();
    const sf::Vector2f onBoard(
        std::clamp(position.x, 0.f, std::max(0.f, boardSide - picture.width * scale.x)),
        std::clamp(position.y, 0.f, std::max(0.f, boardSide - picture.height * scale.y)));
    // A move makes the sprite work out its transform again: only when needed.
    if (onBoard != position) {
        sprite.setPosition(onBoard);
    }
}

std::vector<std::string> gameTextureNames() {
    std::vector<std::string> names{"background"};
    for (int damage = 0; damage < hitsThatBreakABox; ++damage) {
        names.push_back("box_damage_" + std::to_string(damage));
    }
    for (int stage = 1; stage <= lastStage; ++stage) {
        names.push_back("spider_stage_" + std::to_string(stage));
    }
    return names;
}
