#include "platform/Console.hpp"

#include "platform/StderrLines.hpp"
#include "platform/Win32/Win32.hpp"
#include "system/Worker.hpp"

#include <windows.h>

#include <cstdlib>
#include <iostream>

namespace {

// A console opened by a command prompt lists the prompt too.
unsigned long consoleProcesses() {
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2);
}

Worker* stderrWriter = nullptr; // lives until the process ends

// UTF-16 to a console, so every letter shows, in parts (Windows 7 takes some
// 64 KB at a time); UTF-8 bytes to anything else.
void writeToStderr(const std::string& line) {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0, written = 1;
    const bool console = GetConsoleMode(handle, &mode);
    const std::wstring wide = console ? utf16(line) : L"";
    const std::size_t size = console ? wide.size() : line.size();
    for (std::size_t done = 0; done < size && written > 0; done += written) {
        const bool wrote =
            console ? WriteConsoleW(
                          handle, wide.data() + done,
                          static_cast<DWORD>(unitsInWrite(wide.data() + done, size - done, 8192)),
                          &written, nullptr)
                    : WriteFile(handle, line.data() + done, static_cast<DWORD>(size - done),
                                &written, nullptr);
        written = wrote ? written : 0;
    }
}

} // namespace

bool nobodyReadsStderr() {
    const DWORD type = GetFileType(GetStdHandle(STD_ERROR_HANDLE));
    return stderrGoesUnread(consoleProcesses(), type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE);
}

void useSystemLanguage() {}

void keepConsoleFromBlocking() {
    if (stderrWriter != nullptr) {
        return;
    }
    if (consoleProcesses() == 1) {
        // The console's own input, even when stdin comes from elsewhere.
        const HANDLE input =
            CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD mode = 0;
        if (input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)) {
            // ENABLE_EXTENDED_FLAGS makes Windows take the QuickEdit bit as given.
            SetConsoleMode(input, (mode & ~DWORD{ENABLE_QUICK_EDIT_MODE}) | ENABLE_EXTENDED_FLAGS);
            CloseHandle(input);
        }
    }
    // Both live until the process ends: a stream may be written to by the
    // last destructor, and the writer's thread may be stuck in a console.
    stderrWriter = new Worker(64);
    std::cerr.rdbuf(new LineBuffer(
        [](std::string line) { stderrWriter->post([line] { writeToStderr(line); }); }));
    // What a returning main or exit() still has to say gets a moment to be said.
    std::atexit([] { flushStderrLines(std::chrono::milliseconds(500)); });
}

bool flushStderrLines(std::chrono::milliseconds bound) {
    return stderrWriter == nullptr ||
           stderrWriter->finish(std::chrono::steady_clock::now() + bound);
}

bool showMessageBox(const std::string& line) {
    return MessageBoxW(nullptr, utf16(line).c_str(), L"Tangleroot", MB_OK | MB_ICONERROR) != 0;
}
