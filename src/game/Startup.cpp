#include "game/Startup.hpp"

#include "assets/TextureManager.hpp"
#include "entities/Board.hpp"
#include "game/WindowSize.hpp"
#include "persistence/AtomicFile.hpp"
#include "persistence/SaveFile.hpp"

#include <SFML/Graphics/Image.hpp>

#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const runFromHint = "run the game from the folder that holds assets/";

void requireGameFile(const fs::path& path, const std::string& what, bool folder) {
    std::error_code error;
    if (!(folder ? fs::is_directory(path, error) : fs::is_regular_file(path, error))) {
        throw StartupError(what + " not found: looked for " + shownPath(path) + " (" + runFromHint +
                           ")");
    }
}

} // namespace

Desktop checkStart(const fs::path& textures, const fs::path& font, const fs::path& lockFile,
                   std::optional<FolderLock>& lock) {
    requireGameFile(textures, "texture folder", true);
    requireGameFile(font, "font", false);
    requireReadableSave();
    lock.emplace(lockFile);
    if (lock->heldElsewhere()) {
        throw StartupError("the game is already running in this folder: another copy holds " +
                           shownPath(lockFile));
    }
    if (!lock->held()) {
        throw StartupError("cannot make the lock file " + shownPath(lockFile) + ": " +
                           lock->problem());
    }
    removeLeftoverTemporaryFiles();
    Desktop desktop;
    if (!desktop.reachable()) {
        throw StartupError(desktop.problem() + ": the game needs a desktop to show its window");
    }
    return desktop;
}

void loadGameFont(sf::Font& font, const fs::path& path) {
    if (!font.loadFromFile(path.string())) {
        throw StartupError("font cannot be loaded: " + shownPath(path) + " is empty or broken");
    }
}

void loadGameTextures(const fs::path& folder) {
    try {
        TextureManager::addTextures(folder);
    } catch (const fs::filesystem_error& listing) {
        throw StartupError("cannot list the texture folder " + shownPath(folder) + ": " +
                           listing.code().message());
    }
    for (const std::string& name : gameTextureNames()) {
        if (TextureManager::textures.count(name) == 0) {
            throw StartupError("picture \"" + name + "\" not found: looked for " + name +
                               ".png (or another image) in " + shownPath(folder) + " (" +
                               runFromHint + ")");
        }
        if (TextureManager::textures[name].getSize().x == 0) {
            throw StartupError("picture \"" + name + "\" cannot be loaded: the file for it in " +
                               shownPath(folder) + " is empty or not an image");
        }
    }
}

void openWindow(sf::RenderWindow& window, const Desktop& desktop) {
    const ScreenArea area = usableArea(desktop.layout());
    const std::optional<FrameSize> toldFrame = desktop.frame();
    WindowPlace place = placeWindow(area, toldFrame.value_or(guessedFrame(area)), desktop.scale());
    sf::Vector2i corner(place.frameLeft, place.frameTop);
    // A window manager that tells nothing of its frame (twm) is measured on a
    // window shown for a moment; it may also place a frame off the corner asked.
    if (const std::optional<PlacedFrame> probed =
            toldFrame ? std::nullopt : desktop.probeFrame(place)) {
        const WindowPlace measured = placeWindow(area, probed->frame, desktop.scale());
        corner = {measured.frameLeft + place.frameLeft - probed->left,
                  measured.frameTop + place.frameTop - probed->top};
        place = measured;
    }
    {
        // A window manager that has just exited must not end the game here
        const XErrorsSurvived survived;
        window.create(sf::VideoMode(place.side, place.side, 32), "Tangleroot",
                      sf::Style::Titlebar | sf::Style::Close);
    }
    desktop.followMonitorScale(window.getSystemHandle(), placeAfterScaleChange);
    // SFML 2.5 centres a window on the whole screen (on X11 its top by the
    // screen's width); the move may rescale it, so it is fitted before and after.
    desktop.fitClientArea(window.getSystemHandle(), place.side);
    window.setPosition(corner);
    desktop.fitClientArea(window.getSystemHandle(), place.side);
    window.setVerticalSyncEnabled(true);
    window.setView(sf::View(sf::FloatRect(0.f, 0.f, boardSide, boardSide)));
}

void setWindowIcon(sf::Window& window, const Desktop& desktop, const fs::path& path) {
    sf::Image icon;
    if (icon.loadFromFile(path.string())) {
        window.setIcon(icon.getSize().x, icon.getSize().y, icon.getPixelsPtr());
    }
    std::vector<sf::Image> icons;
    for (const int size : {16, 32, 48}) {
        sf::Image smaller;
        const fs::path file = path.parent_path() / ("tangleroot-" + std::to_string(size) + ".png");
        if (fs::exists(file) && smaller.loadFromFile(file.string())) {
            icons.push_back(smaller);
        }
    }
    icons.push_back(icon);
    desktop.offerIcons(window.getSystemHandle(), icons);
}
