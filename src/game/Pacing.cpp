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

bool holdsSpider(const std::vector<Spider>& spiders) {
    return std::any_of(spiders.begin(), spiders.end(),
                       [](const Spider& spider) { return spider.dragging; });
}

bool frameNeedsDrawing(const FrameSchedule& schedule, const FrameAsk& ask, sf::Time now) {
    if (ask.minimized) {
        return false;
    }
    if (ask.redraw || !schedule.drawnOnce || untilSafetyRedraw(schedule, now) == sf::Time::Zero) {
        return true;
    }
    return ask.scene != schedule.drawnScene && (!ask.held || now >= schedule.nextFrame);
}

void advancePastFrame(FrameSchedule& schedule, std::uint64_t scene, sf::Time now) {
    schedule.drawnScene = scene;
    schedule.drawnOnce = true;
    schedule.drawnAt = now;
    const sf::Time next = schedule.nextFrame + framePeriod;
    schedule.nextFrame = next < now ? now + framePeriod : std::min(next, now + framePeriod);
}

sf::Time untilNextFrame(const FrameSchedule& schedule, const FrameAsk& ask, sf::Time now) {
    if (ask.minimized || ask.scene == schedule.drawnScene) {
        return farAhead;
    }
    return std::max(sf::Time::Zero, schedule.nextFrame - now);
}

sf::Time untilSafetyRedraw(const FrameSchedule& schedule, sf::Time now) {
    if (!schedule.safetyRedraws) {
        return farAhead;
    }
    return std::max(sf::Time::Zero, safetyRedraw - (now - schedule.drawnAt));
}

sf::Time restAfterFrame(const std::vector<Spider>& spiders, const Waits& waits, bool minimized) {
    sf::Time rest = std::min({waits.frame, waits.spawn, waits.autosave, waits.redraw});
    for (const Spider& spider : spiders) {
        if (spider.dragging) {
            break; // the spiders after a held one stand still
        }
        if (spider.dropped) {
            rest = sf::Time::Zero;
            break;
        }
        // A step comes once the interval is more than over.
        rest = std::min(rest, sf::milliseconds(spider.moveInterval) -
                                  spider.moveClock.getElapsedTime() + sf::microseconds(1));
    }
    rest = std::max(rest, sf::Time::Zero);
    return minimized ? std::max(rest, minimizedRest) : rest;
}
