#include "game/Pacing.hpp"

#include <SFML/System/Sleep.hpp>

#include <cstring>

namespace {

// FNV-1a over the bytes of each value.
class Signature {
public:
    template <typename T> void add(const T& value) {
        unsigned char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        for (const unsigned char byte : bytes) {
            hash = (hash ^ byte) * 1099511628211ull;
        }
    }
    std::uint64_t hash = 14695981039346656037ull;
};

void addSprite(Signature& signature, const sf::Sprite& sprite) {
    signature.add(sprite.getPosition().x);
    signature.add(sprite.getPosition().y);
    signature.add(sprite.getTexture());
    signature.add(sprite.getTextureRect().width);
    signature.add(sprite.getTextureRect().height);
}

} // namespace

std::uint64_t sceneSignature(const std::vector<Spider>& spiders, const std::vector<Box>& boxes,
                             int money, const std::string& notice, const std::string& failureLine,
                             const std::string& restoredLine) {
    Signature signature;
    for (const Spider& spider : spiders) {
        addSprite(signature, spider.sprite);
    }
    for (const Box& box : boxes) {
        addSprite(signature, box.sprite);
    }
    signature.add(money);
    for (const char c : notice) {
        signature.add(c);
    }
    signature.add(notice.size()); // where the notice ends and the failure line begins
    for (const char c : failureLine) {
        signature.add(c);
    }
    signature.add(failureLine.size());
    for (const char c : restoredLine) {
        signature.add(c);
    }
    return signature.hash;
}

bool frameNeedsDrawing(DrawState& state, std::uint64_t scene, bool inputHandled) {
    const bool needed = !state.drawnOnce || scene != state.drawnScene || inputHandled ||
                        state.sinceDrawn.getElapsedTime() >= safetyRedraw;
    if (needed) {
        state.drawnScene = scene;
        state.drawnOnce = true;
        state.sinceDrawn.restart();
    }
    return needed;
}

void waitForNextFrame(FramePacer& pacer) {
    const sf::Time period = sf::seconds(1.f / framesPerSecond);
    pacer.due += period;
    const sf::Time now = pacer.clock.getElapsedTime();
    if (pacer.due > now) {
        sf::sleep(pacer.due - now);
    } else if (now - pacer.due > period) {
        pacer.due = now;
    }
}
