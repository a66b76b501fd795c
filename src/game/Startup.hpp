#pragma once

#include "platform/FolderLock.hpp"

#include <SFML/Graphics/RenderWindow.hpp>

#include <filesystem>
#include <stdexcept>
#include <string>

// Why the game cannot start; main prints it as one line and exits with 1.
class StartupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fills the texture registry from `folder` and makes sure it holds every
// picture the game asks for, so a missing one stops the game now rather than
// in the middle of play.
void loadGameTextures(const std::filesystem::path& folder);

// Throws StartupError when another game holds the folder's lock, or the lock
// file cannot be made.
void requireFolderLock(const FolderLock& lock, const std::filesystem::path& file);

// Throws StartupError when `path` is not a readable file.
void requireFile(const std::filesystem::path& path, const std::string& what);

// Opens the game's 800 x 800 window with vertical sync on, and reports whether
// the driver said it cannot set vertical sync.
bool openWindow(sf::RenderWindow& window);

// True when frames come back far faster than any display refreshes, so
// vertical sync is not pacing them.
bool framesComeTooFast(int frames, sf::Time elapsed);
