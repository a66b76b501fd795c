#pragma once

#include <string>

// For GetLastError on Windows, errno elsewhere; UTF-8 (Windows speaks the
// player's language: "Accès refusé"), with no line break at the end.
std::string systemMessage(unsigned long code);
