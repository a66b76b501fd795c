#pragma once

#include <string>

std::wstring utf16(const std::string& utf8);
