// The least an SFML program showing Tangleroot's board must do: open the same
// window, load the same pictures (ready to be drawn as cleanly) and the
// font, then draw the background,
// 51 sprites and a label every frame. Benchmarks compare the game with it.
//   floor_program [seconds] [--quiet] [--idle] [--rate N] [--save] [--press]
// runs that long (0, the default: until closed); --quiet draws 2 boxes
// instead of 51 sprites; --idle draws once, then only polls events and sleeps
// a 60th of a second per frame (the least an idle window can cost); --rate N
// draws N frames a second, sleeping between them and polling events at each
// (the least a window drawn that often can cost); --save also writes the board
// to save.json after each frame, as crash-safely as the game does (the least a
// new box's frame and its save can cost); --press draws 11 boxes, once, then
// again at each press of a mouse button, polling events without pause between
// (the soonest a press can be shown).
#include "entities/Board.hpp"

#include <SFML/Graphics.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>

namespace {

// A temporary file written and flushed, renamed over save.json, and the
// rename flushed with its folder.
void saveCrashSafely(const std::string& bytes) {
    const int file = ::open("save.json.tmp", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file < 0 || ::write(file, bytes.data(), bytes.size()) < 0 || ::fsync(file) != 0) {
        std::fprintf(stderr, "floor_program: cannot write save.json\n");
        std::exit(1);
    }
    ::close(file);
    ::rename("save.json.tmp", "save.json");
    const int folder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::fsync(folder);
    ::close(folder);
}

} // namespace

int main(int argc, char** argv) {
    const float seconds = argc > 1 ? std::stof(argv[1]) : 0.f;
    bool quiet = false;
    bool idle = false;
    bool save = false;
    bool press = false;
    float rate = 0.f; // frames drawn a second; 0: every frame
    for (int i = 2; i < argc; ++i) {
        quiet = quiet || std::string(argv[i]) == "--quiet";
        idle = idle || std::string(argv[i]) == "--idle";
        save = save || std::string(argv[i]) == "--save";
        press = press || std::string(argv[i]) == "--press";
        if (std::string(argv[i]) == "--rate" && i + 1 < argc) {
            rate = std::stof(argv[++i]);
        }
    }

    // The pictures as the game needs them drawn: things, four times their
    // size on the board, reduced smoothly through mipmaps; the background as it is.
    std::map<std::string, sf::Texture> textures;
    for (const auto& entry : std::filesystem::directory_iterator("assets/textures")) {
        sf::Texture& texture = textures[entry.path().stem().string()];
        if (texture.loadFromFile(entry.path().string()) && entry.path().stem() != "background") {
            texture.setSmooth(true);
            texture.generateMipmap();
        }
    }
    sf::RenderWindow window(sf::VideoMode(800, 800, 32), "Tangleroot",
                            sf::Style::Titlebar | sf::Style::Close);
    window.setVerticalSyncEnabled(true);
    window.setFramerateLimit(60);
    sf::Font font;
    font.loadFromFile("assets/fonts/roboto.ttf");
    sf::Text label("Money: 0", font, 24);
    label.setFillColor(sf::Color::Black);
    sf::Sprite background(textures["background"]);

    std::mt19937 rng(1);
    std::uniform_real_distribution<float> coordinate(0.f, 700.f);
    std::vector<sf::Sprite> sprites;
    for (int i = 0; i < (quiet ? 2 : press ? 11 : 51); ++i) {
        const std::string name =
            i < 11 ? "box_damage_0" : "spider_stage_" + std::to_string(1 + i % lastStage);
        sprites.emplace_back(textures[name]);
        sprites.back().setScale(0.25f, 0.25f);
        sprites.back().setPosition(coordinate(rng), coordinate(rng));
    }

    sf::Clock clock;
    sf::Time nextDraw;
    bool drawn = false;
    while (window.isOpen()) {
        sf::Event event;
        bool pressed = false;
        while (window.pollEvent(event)) {
            if (event.type == sf::Event::Closed) {
                window.close();
            }
            pressed = pressed || event.type == sf::Event::MouseButtonPressed;
        }
        if (press && drawn && !pressed) {
            continue;
        }
        if (seconds > 0 && clock.getElapsedTime().asSeconds() > seconds) {
            window.close();
        }
        if (idle && drawn) {
            sf::sleep(sf::seconds(1.f / 60));
            continue;
        }
        if (rate > 0 && clock.getElapsedTime() < nextDraw) {
            sf::sleep(nextDraw - clock.getElapsedTime());
            continue;
        }
        drawn = true;
        if (rate > 0) {
            nextDraw += sf::seconds(1.f / rate);
        }
        window.clear(sf::Color::White);
        window.draw(background);
        for (const sf::Sprite& sprite : sprites) {
            window.draw(sprite);
        }
        window.draw(label);
        window.display();
        if (save) {
            saveCrashSafely(R"({"boxes":[{"x":300.0,"y":300.0},{"x":500.0,"y":100.0}],"money":0})");
        }
    }
    return 0;
}
