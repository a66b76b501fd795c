#include "system/SystemMessage.hpp"

#include <windows.h>

std::string systemMessage(unsigned long code) {
    // The wide message, so that no letter is lost to the ANSI code page
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string message(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), size, nullptr,
                        nullptr);
    LocalFree(text);
    message.erase(message.find_last_not_of("\r\n .") + 1);
    return message.empty() ? "error " + std::to_string(code) : message;
}
