#include "platform/Console.hpp"

#include <libintl.h>

#include <clocale>

bool nobodyReadsStderr() {
    return false;
}

void useSystemLanguage() {
    if (std::setlocale(LC_MESSAGES, "") != nullptr) {
        // The C library's own texts, as the game's messages are
        bind_textdomain_codeset("libc", "UTF-8");
    }
}

void keepConsoleFromBlocking() {}

bool flushStderrLines(std::chrono::milliseconds) {
    return true;
}

bool showMessageBox(const std::string&) {
    return false;
}
