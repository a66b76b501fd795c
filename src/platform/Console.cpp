#include "platform/Console.hpp"

#include <SFML/System/Err.hpp>

bool stderrGoesUnread(unsigned long consoleProcesses, bool stderrIsFileOrPipe) {
    return !stderrIsFileOrPipe && consoleProcesses <= 1;
}

void silenceSfmlMessages() {
    sf::err().rdbuf(nullptr);
}
