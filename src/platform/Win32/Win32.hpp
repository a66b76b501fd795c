#pragma once

#include <windows.h>

#include <string>

inline std::wstring utf16(const std::string& utf8) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(size > 0 ? static_cast<std::size_t>(size) : 0, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return text;
}

HANDLE wakeUpEvent(); // set at each end request and wakeFrameLoop
