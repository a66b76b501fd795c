#pragma once

#include <string>

// The operating system's message for error `code` (GetLastError on Windows,
// errno elsewhere), in UTF-8 with no line break at its end. Windows gives its
// messages in the player's own language, beyond ASCII ("Accès refusé").
std::string systemMessage(unsigned long code);
