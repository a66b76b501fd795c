#include "game/Refusal.hpp"

#include "game/Messages.hpp"
#include "game/Phases.hpp"
#include "game/WindowSize.hpp"
#include "platform/Console.hpp"
#include "platform/Display.hpp"
#include "platform/EndRequests.hpp"
#include "platform/EventWait.hpp"
#include "platform/TextEngine.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Window/Event.hpp>

#include <iostream>

namespace {

const char* const fontFile = "assets/fonts/roboto.ttf";
constexpr float textSize = 16.f; // pixels, at the desktop's scale
constexpr float textWidth = 460.f;
constexpr float margin = 20.f;

// Titled with the line's first part.
void showInWindow(const std::string& line) {
    const Desktop desktop;
    if (!desktop.reachable()) {
        return; // stderr has it
    }
    const float scale = desktop.scale() > 0.f ? desktop.scale() : 1.f;
    sf::Font font;
    const bool gameFont = font.loadFromFile(fontFile);
    const TextEngine engine(gameFont ? fontFile : "", gameFont ? font.getInfo().family : "");
    sf::String shown;
    sf::Texture picture;
    drawLetters(engine, decodedUtf8(line), screenPixels(textSize, scale), textWidth * scale, false,
                shown, picture);
    const unsigned border = screenPixels(margin, scale);
    const sf::Vector2u size(screenPixels(textWidth, scale) + 2 * border,
                            picture.getSize().y + 2 * border);
    const std::string title = line.substr(0, line.find(": "));
    sf::RenderWindow window(sf::VideoMode(size.x, size.y),
                            sf::String::fromUtf8(title.begin(), title.end()),
                            sf::Style::Titlebar | sf::Style::Close);
    const ScreenArea area = usableArea(desktop.layout());
    window.setPosition({area.left + (area.width - static_cast<int>(size.x)) / 2,
                        area.top + (area.height - static_cast<int>(size.y)) / 2});
    sf::Sprite letters(picture);
    letters.setPosition(static_cast<float>(border), static_cast<float>(border));

    EventWait wait(window, desktop);
    for (bool redraw = true; !endRequested(); redraw = false) { // a signal or a logout ends it too
        for (sf::Event event; window.pollEvent(event); redraw = true) {
            if (event.type == sf::Event::Closed) {
                return;
            }
        }
        if (wait.takeWindowState().redraw || redraw) {
            window.clear(sf::Color(90, 20, 20));
            window.draw(letters);
            window.display();
        }
        wait.sleep(sf::seconds(3600));
    }
}

} // namespace

StartOptions readOptions(const std::vector<std::string>& arguments) {
    StartOptions options;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        if (arguments[at] == "--show-errors") {
            options.showErrors = true;
        } else if (arguments[at] == "--cannot-start" && at + 1 < arguments.size()) {
            options.cannotStart = arguments[++at];
        }
    }
    return options;
}

void tellWhyTheGameStops(const std::string& line, bool inWindow) {
    std::cerr << line << "\n";
    if ((inWindow || nobodyReadsStderr()) && !showMessageBox(line)) {
        showInWindow(line);
    }
}
