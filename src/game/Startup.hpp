#pragma once

#include "platform/Display.hpp"
#include "platform/FolderLock.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderWindow.hpp>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

class StartupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws for the first of these that fails, in this order: the texture
// folder and the font are here (so a run from another folder writes nothing
// there), save.json can be read, `lock` takes `lockFile` (then the temporary
// files of a save cut off earlier go), a desktop answers. Returns the desktop.
Desktop checkStart(const std::filesystem::path& textures, const std::filesystem::path& font,
                   const std::filesystem::path& lockFile, std::optional<FolderLock>& lock);

// Fail now, not in the middle of play, when a picture is missing or broken.
void loadGameTextures(const std::filesystem::path& folder);
void loadGameFont(sf::Font& font, const std::filesystem::path& path);

// Placed anew, alike, when moved to a monitor of another scale.
void openWindow(sf::RenderWindow& window, const Desktop& desktop);

// With the tangleroot-16/32/48.png beside it for the desktop to pick from.
void setWindowIcon(sf::Window& window, const Desktop& desktop, const std::filesystem::path& path);
