#pragma once

#include "platform/Display.hpp"
#include "platform/FolderLock.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderWindow.hpp>

#include <filesystem>
#include <stdexcept>
#include <string>

// Why the game cannot start; main prints it as one line and exits with 1.
class StartupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws StartupError unless the working folder holds the game's own files:
// the texture folder and the font. Checked before anything is written, so a
// run from another folder leaves that folder as it was; the loads below
// count on it.
void requireGameFiles(const std::filesystem::path& textures, const std::filesystem::path& font);

// The desktop the window will show on, connected to once for all start-up
// asks; throws StartupError when there is none.
Desktop requireDesktop();

// Fills the texture registry from `folder` and makes sure it holds every
// picture the game asks for, each loaded, so a missing or broken one stops
// the game now rather than in the middle of play.
void loadGameTextures(const std::filesystem::path& folder);

// Throws StartupError when another game holds the folder's lock, or the lock
// file cannot be made.
void requireFolderLock(const FolderLock& lock, const std::filesystem::path& file);

// Loads the font at `path`; throws StartupError when it is missing or broken.
void loadGameFont(sf::Font& font, const std::filesystem::path& path);

// Opens the game's square window on the free part of one monitor: 800 x 800
// at the player's scale (so 1600 x 1600 at 200%), or as large as fits with
// its frame; with vertical sync on and a view that shows the board's 800 x 800.
// Moved to a monitor of another scale (Windows), it is placed alike there.
void openWindow(sf::RenderWindow& window, const Desktop& desktop);

// Shows the picture at `path` as the window's icon, with the 16, 32 and 48
// pixel pictures beside it (tangleroot-16.png ...) for the desktop to pick
// from (Desktop::offerIcons; on Windows the program's own icon). Without any
// the window keeps the system's own (SFML says why on stderr).
void setWindowIcon(sf::Window& window, const Desktop& desktop, const std::filesystem::path& path);
