#include "game/Startup.hpp"

#include "assets/TextureManager.hpp"

#include <SFML/System/Err.hpp>

#include <iostream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const runFromHint = "run the game from the folder that holds assets/";

std::string where(const fs::path& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return (error ? path : absolute).string();
}

} // namespace

void requireFolderLock(const FolderLock& lock, const fs::path& file) {
    if (lock.heldElsewhere()) {
        throw StartupError("the game is already running in this folder: another copy holds " +
                           where(file));
    }
    if (!lock.held()) {
        throw StartupError("cannot make the lock file " + where(file) + ": " + lock.problem());
    }
}

void requireFile(const fs::path& path, const std::string& what) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        throw StartupError(what + " not found: looked for " + where(path) + " (" + runFromHint +
                           ")");
    }
}

void loadGameTextures(const fs::path& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw StartupError("texture folder not found: looked for " + where(folder) + " (" +
                           runFromHint + ")");
    }
    try {
        TextureManager::addTextures(folder);
    } catch (const fs::filesystem_error& listing) {
        throw StartupError("cannot list the texture folder " + where(folder) + ": " +
                           listing.code().message());
    }
    for (const std::string& name : gameTextureNames()) {
        if (TextureManager::textures.count(name) == 0) {
            throw StartupError("picture \"" + name + "\" not found: looked for " + name +
                               ".png (or another image) in " + where(folder) + " (" + runFromHint +
                               ")");
        }
    }
}

bool openWindow(sf::RenderWindow& window) {
    // SFML reports a driver that cannot set vertical sync on its error stream,
    // once, while the window is created: listen in, and pass the message on.
    std::ostringstream messages;
    std::streambuf* const previous = sf::err().rdbuf(messages.rdbuf());
    window.create(sf::VideoMode(800, 800, 32), "Tangleroot",
                  sf::Style::Titlebar | sf::Style::Close);
    window.setVerticalSyncEnabled(true);
    sf::err().rdbuf(previous);
    std::cerr << messages.str();
    return messages.str().find("vertical sync") != std::string::npos;
}

bool framesComeTooFast(int frames, sf::Time elapsed) {
    // No display refreshes faster than 360 times a second.
    constexpr float fastestRefresh = 360.f;
    return elapsed > sf::Time::Zero &&
           static_cast<float>(frames) / elapsed.asSeconds() > fastestRefresh;
}
