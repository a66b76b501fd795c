#include "game/FrameLoop.hpp"

#include <algorithm>

namespace {

sf::Time untilNextFrame(const FrameSchedule& schedule, const FrameAsk& ask, sf::Time now) {
    if (ask.minimized || ask.scene == schedule.drawnScene) {
        return farAhead;
    }
    return std::max(sf::Time::Zero, schedule.nextFrame - now);
}

} // namespace

sf::Time framePeriodAt(float refreshRate) {
    return sf::seconds(1.f / (refreshRate >= 30 && refreshRate <= 1000 ? refreshRate : 60));
}

bool frameNeedsDrawing(const FrameSchedule& schedule, const FrameAsk& ask, sf::Time now) {
    if (ask.minimized) {
        return false;
    }
    if (ask.redraw || !schedule.drawnOnce) {
        return true;
    }
    return ask.scene != schedule.drawnScene && (!ask.dragging || now >= schedule.nextFrame);
}

void advancePastFrame(FrameSchedule& schedule, std::uint64_t scene, sf::Time now) {
    schedule.drawnScene = scene;
    schedule.drawnOnce = true;
    const sf::Time next = schedule.nextFrame + schedule.period;
    schedule.nextFrame = next < now ? now + schedule.period : std::min(next, now + schedule.period);
}

sf::Time restAfterFrame(const FrameSchedule& schedule, const FrameAsk& ask, const Waits& waits,
                        sf::Time now) {
    const sf::Time rest = std::max(
        sf::Time::Zero,
        std::min({waits.spiders, waits.spawn, waits.saving, untilNextFrame(schedule, ask, now)}));
    return ask.minimized ? std::max(rest, minimizedRest) : rest;
}

FrameLoop::FrameLoop(sf::Window& window, const Desktop& desktop, Now clock)
    : wait(window, desktop),
      now(clock ? std::move(clock) : [started = sf::Clock()] { return started.getElapsedTime(); }) {
    schedule.period = framePeriodAt(desktop.refreshRate(window.getSystemHandle()));
    lastLook = now();
}

bool FrameLoop::startFrame() {
    const WindowState seen = wait.takeWindowState();
    redrawAsked = redrawAsked || seen.redraw;
    ask.minimized = seen.minimized;
    const sf::Time at = now();
    const bool asAsked = at - lastLook <= restAsked + wakeMargin;
    lastLook = at;
    return seen.minimized && asAsked;
}

bool FrameLoop::decideFrame(std::uint64_t picture, bool redraw, bool dragging) {
    ask.scene = picture;
    ask.redraw = redraw || redrawAsked;
    ask.dragging = dragging;
    redrawAsked = false;
    decidedAt = now();
    return frameNeedsDrawing(schedule, ask, decidedAt);
}

void FrameLoop::drawn() {
    advancePastFrame(schedule, ask.scene, decidedAt);
}

void FrameLoop::sleep(const Waits& waits) {
    restAsked = restAfterFrame(schedule, ask, waits, now());
    wait.sleep(restAsked);
}
