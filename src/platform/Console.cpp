#include "platform/Console.hpp"

bool stderrGoesUnread(unsigned long consoleProcesses, bool stderrIsFileOrPipe) {
    return !stderrIsFileOrPipe && consoleProcesses <= 1;
}
