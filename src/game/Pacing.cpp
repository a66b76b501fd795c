#include "game/Pacing.hpp"

#include "game/Phases.hpp"

#include <algorithm>
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
    forEachSpriteInDrawingOrder(
        spiders, boxes, [&signature](const sf::Sprite& sprite) { addSprite(signature, sprite); });
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

bool frameNeedsDrawing(DrawState& state, std::uint64_t scene, bool redraw, sf::Time now) {
    const bool needed = !state.drawnOnce || scene != state.drawnScene || redraw ||
                        untilSafetyRedraw(state, now) == sf::Time::Zero;
    if (needed) {
        state.drawnScene = scene;
        state.drawnOnce = true;
        state.drawnAt = now;
    }
    return needed;
}

sf::Time untilSafetyRedraw(const DrawState& state, sf::Time now) {
    if (!state.safetyRedraws) {
        return farAhead;
    }
    return std::max(sf::Time::Zero, safetyRedraw - (now - state.drawnAt));
}

sf::Time untilNextFrame(FramePacer& pacer) {
    const sf::Time period = sf::seconds(1.f / framesPerSecond);
    pacer.due += period;
    const sf::Time now = pacer.clock.getElapsedTime();
    if (pacer.due > now) {
        return pacer.due - now;
    }
    if (now - pacer.due > period) {
        pacer.due = now;
    }
    return sf::Time::Zero;
}

Rest restAfterFrame(const std::vector<Spider>& spiders, sf::Time untilFrame, sf::Time untilSpawn,
                    sf::Time untilAutosave, sf::Time untilRedraw) {
    sf::Time rest = std::min({untilSpawn, untilAutosave, untilRedraw});
    for (const Spider& spider : spiders) {
        if (spider.dragging) {
            return {untilFrame, false};
        }
        if (spider.dropped) {
            return {sf::Time::Zero, true};
        }
        // A step comes once the interval is more than over.
        rest = std::min(rest, sf::milliseconds(spider.moveInterval) -
                                  spider.moveClock.getElapsedTime() + sf::microseconds(1));
    }
    return {std::max(rest, sf::Time::Zero), true};
}
