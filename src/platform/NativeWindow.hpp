#pragma once

#include <SFML/Graphics/Image.hpp>
#include <SFML/Window/WindowHandle.hpp>

#include <vector>

// Windows: when the window is dragged to a monitor of another scale, takes
// the size Windows suggests for it there (WM_DPICHANGED). Elsewhere nothing.
void followMonitorScale(sf::WindowHandle window);

// Windows: the window's big and small icons from the program's own icon, each
// at the size the system asks. False when the program holds no icon, and on
// other systems.
bool setIconsFromProgram(sf::WindowHandle window);

// X11: offers the window manager every picture (_NET_WM_ICON), each at its own
// size, so title bar and task switcher pick the one that fits. False when it
// cannot, and on other systems.
bool offerIcons(sf::WindowHandle window, const std::vector<sf::Image>& icons);
