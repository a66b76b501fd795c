#pragma once

#include <string>

// `utf8` as Windows' wide text (UTF-16), for the calls that take every
// letter: the console, message boxes, the text engine.
std::wstring utf16(const std::string& utf8);
