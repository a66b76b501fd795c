#pragma once

#include <SFML/Window/WindowHandle.hpp>

#include <functional>

// Ends asked for from outside the window. On Linux SIGTERM, SIGINT and SIGHUP;
// on Windows Ctrl+C, Ctrl+Break and the console window's close button. The
// handlers only raise a flag; the frame loop reads it, saves and closes.
void listenForEndRequests();
bool endRequested();

// Tells a console handler that is holding the process open (Windows ends it
// when the handler returns) that the board is saved.
void endRequestHandled();

// Windows: at logoff or shutdown the session's end reaches the game's window,
// not its console; `saveNow` runs before the window lets the session end.
// Elsewhere this does nothing.
void saveAtSessionEnd(sf::WindowHandle window, std::function<void()> saveNow);
