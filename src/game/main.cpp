// Tangleroot: break boxes, raise spiders, merge them up to the last stage.

#include "assets/TextureManager.hpp"
#include "entities/Box.hpp"
#include "entities/Spider.hpp"
#include "game/FrameLoop.hpp"
#include "game/Messages.hpp"
#include "game/Phases.hpp"
#include "game/Picture.hpp"
#include "game/Refusal.hpp"
#include "game/Saving.hpp"
#include "game/Startup.hpp"
#include "persistence/SaveFile.hpp"
#include "platform/Console.hpp"
#include "platform/EndRequests.hpp"
#include "platform/FolderLock.hpp"
#include "system/Translate.hpp"

#include <SFML/Graphics.hpp>

#include <iostream>
#include <optional>
#include <random>
#include <vector>

int main(int argc, char* argv[]) {
    // The menu entry asks for refusals in a window too, where its player looks
    const StartOptions options = readOptions({argv + 1, argv + argc});
    try {
        // A Windows console never holds the game up, and shows every letter of a path
        keepConsoleFromBlocking();
        // SFML's own lines (vertical sync, a font it could not load) are not the player's
        silenceSfmlMessages();
        // The system's reasons for a failure in the player's language
        useSystemLanguage();
        useGameCatalogue();

        // What the launcher could not get ready, told as the game's own refusals are
        if (options.cannotStart) {
            throw StartupError(*options.cannotStart);
        }

        // A signal or Ctrl+C from now on ends the game through its own save
        listenForEndRequests();

        // The game's folder, a readable save, one game per folder, a desktop
        std::optional<FolderLock> folderLock;
        const Desktop desktop =
            checkStart("assets/textures", "assets/fonts/roboto.ttf", "tangleroot.lock", folderLock);

        // Random sources: rng for places and wandering, the device for spawn delays
        std::random_device randomDevice;
        std::mt19937 rng(randomDevice());

        // The pictures, read once from the working folder
        loadGameTextures("assets/textures");

        // The font, before any window: a game that cannot start shows none
        sf::Font font;
        loadGameFont(font, "assets/fonts/roboto.ttf");

        // The window: 800 x 800, or smaller on a small screen, showing the whole board
        sf::RenderWindow window;
        openWindow(window, desktop);
        setWindowIcon(window, desktop, "assets/icon/tangleroot-256.png");

        // The money label in the top-left corner, and what the window says of saving
        sf::Text moneyText;
        moneyText.setFont(font);
        moneyText.setFillColor(sf::Color::Black);
        Messages messages(font, "assets/fonts/roboto.ttf");

        sf::Texture& background = TextureManager::getTexture("background");

        // The board: two fresh boxes, unless a saved board replaces them
        std::vector<Spider> spiders;
        std::vector<Box> boxes;
        int money = 0;
        for (std::size_t i = 0; i < boxesOnANewBoard; ++i) {
            const sf::Vector2f place = randomBoxPosition(rng);
            boxes.emplace_back(place.x, place.y);
        }
        const LoadedSave loaded = load(spiders, boxes, money);
        // A board replaced at start says so until the player's next press or release
        std::string restoredLine = loaded.restoredLine;

        // Saving: the frame loop makes snapshots, a thread of its own writes them.
        // A lost display or the end of the session saves through it too.
        Saving saving(writeSaveFile, spiders, boxes, money);
        saving.startFrom(loaded);
        const SaveBeforeTheEnd saveBeforeTheEnd(window.getSystemHandle(),
                                                [&] { return saving.saveNow(); });

        // The first box spawn
        sf::Clock spawnClock;
        int spawnDelay = drawSpawnDelay(randomDevice);

        // Frames come when there is work, and only those that change the picture
        // are drawn; between them the game sleeps
        FrameLoop loop(window, desktop);
        Picture picture;

        try {
            while (!saving.ended()) {
                // Events, each where it happened. A close hands the board to the
                // writer; the game ends once it is on the disk.
                InputSeen input;
                sf::Event event;
                while (window.pollEvent(event)) {
                    if (event.type == sf::Event::Closed) {
                        saving.closeRequested();
                    } else if (!saving.playPaused()) {
                        handleInput(event, window, spiders, boxes, money, input);
                    }
                    if (event.type == sf::Event::MouseButtonPressed ||
                        event.type == sf::Event::MouseButtonReleased) {
                        restoredLine.clear();
                    }
                }

                // An end asked for from outside (a signal, the console) takes the same road
                if (endRequested()) {
                    saving.endRequested();
                }
                const bool catchUp = loop.startFrame();

                // World update, paused while the game ends: while minimized, every
                // wander step that came due while the game ran
                bool spawned = false;
                if (!saving.playPaused()) {
                    updateSpiders(spiders, money, rng, catchUp);
                    spawned = spawnBoxes(spiders, boxes, rng, randomDevice, spawnClock, spawnDelay);
                }

                // Autosave: a new box at once, what the player did within 2 s,
                // wandering alone within 30 s; and the end, once its board is saved
                saving.update(spawned              ? Change::newBox
                              : input.boardTouched ? Change::byPlayer
                                                   : Change::wandering);
                if (saving.ended()) {
                    break;
                }

                // Draw, when the picture changed or the window needs it; the notice's
                // reading time counts from the first frame that shows it
                const float scale = windowScale(window);
                picture.clear();
                composeScene(picture, background, spiders, boxes, moneyText, money, scale);
                messages.show(saving.notice(), saving.failureLine(), restoredLine, scale);
                messages.addTo(picture);
                if (loop.decideFrame(picture.signature(), input.redraw,
                                     draggedSpider(spiders) < spiders.size())) {
                    picture.draw(window);
                    window.display();
                    loop.drawn();
                    if (messages.showsNotice()) {
                        saving.noticeOnScreen();
                    }
                }

                // Sleep until the first of: an input event, a dragged spider's
                // next frame, the next spider step, the next spawn, saving's next work
                loop.sleep({untilSpidersMove(spiders),
                            untilSpawn(spiders, boxes, spawnClock, spawnDelay),
                            saving.untilUpdate()});
            }
        } catch (const std::exception& error) {
            // Keep the board if it can still be kept, then say why the game stopped
            const std::string line = saving.endAfterError(error);
            window.close();
            tellWhyTheGameStops(line, options.showErrors);
            return saving.leave(1);
        }
        window.close();
        return saving.leave(saving.exitStatus());
    } catch (const std::exception& error) {
        // One line; where the player looks rather than at stderr, a window too
        tellWhyTheGameStops(std::string("Tangleroot cannot start: ") + error.what(),
                            options.showErrors);
        return 1;
    }
}
