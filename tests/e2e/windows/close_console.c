/* Closes a program's console the way Windows does: a thread is started in
   the program at kernelbase's CtrlRoutine with CTRL_CLOSE_EVENT, which runs
   the program's console handlers, and the program is ended as soon as they
   return, or after 5 seconds. Wine never sends this event itself.

   close_console <program.exe> [move]: waits for the program to start,
   prints "found", waits for a line on its input, closes the console. With
   "move", first starts a move of its window titled Tangleroot from the
   system menu (SC_MOVE), as a player dragging it does: Windows then runs a
   modal loop of its own in the program until the move ends. Exit status 0
   when the handlers returned within the 5 seconds, 1 otherwise. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <tlhelp32.h>

static DWORD findProcess(const char* name) {
    DWORD found = 0;
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {.dwSize = sizeof entry};
    for (BOOL more = Process32First(all, &entry); more; more = Process32Next(all, &entry)) {
        if (lstrcmpiA(entry.szExeFile, name) == 0) {
            found = entry.th32ProcessID;
        }
    }
    CloseHandle(all);
    return found;
}

static BYTE* moduleBase(DWORD process, const char* name) {
    BYTE* base = NULL;
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process);
    MODULEENTRY32 entry = {.dwSize = sizeof entry};
    for (BOOL more = Module32First(all, &entry); more; more = Module32Next(all, &entry)) {
        if (lstrcmpiA(entry.szModule, name) == 0) {
            base = entry.modBaseAddr;
        }
    }
    CloseHandle(all);
    return base;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: close_console <program.exe> [move]\n");
        return 2;
    }
    /* Waits up to 20 s for the program to start and load kernelbase. */
    DWORD id = 0;
    BYTE* theirs = NULL;
    for (int tries = 0; tries < 400 && !theirs; ++tries) {
        id = findProcess(argv[1]);
        theirs = id ? moduleBase(id, "kernelbase.dll") : NULL;
        if (!theirs) {
            Sleep(50);
        }
    }
    HANDLE program = id ? OpenProcess(PROCESS_ALL_ACCESS, FALSE, id) : NULL;
    HMODULE ours = GetModuleHandleA("kernelbase.dll");
    FARPROC routine = GetProcAddress(ours, "CtrlRoutine");
    if (!program || !theirs || !routine) {
        fprintf(stderr, "close_console: cannot reach %s\n", argv[1]);
        return 2;
    }
    LPTHREAD_START_ROUTINE start =
        (LPTHREAD_START_ROUTINE)(theirs + ((BYTE*)routine - (BYTE*)ours));
    puts("found");
    fflush(stdout);

    char line[16];
    if (!fgets(line, sizeof line, stdin)) {
        return 2; /* nobody asked for the close */
    }
    if (argc > 2 && strcmp(argv[2], "move") == 0) {
        HWND window = FindWindowW(NULL, L"Tangleroot");
        if (!window || !PostMessageW(window, WM_SYSCOMMAND, SC_MOVE, 0)) {
            fprintf(stderr, "close_console: cannot move the window (%lu)\n", GetLastError());
            return 2;
        }
        Sleep(300); /* the move's loop has begun */
    }
    DWORD began = GetTickCount();
    HANDLE thread = CreateRemoteThread(program, NULL, 0, start, (LPVOID)CTRL_CLOSE_EVENT, 0, NULL);
    if (!thread) {
        fprintf(stderr, "close_console: no thread in %s (%lu)\n", argv[1], GetLastError());
        return 2;
    }
    BOOL returned = WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0;
    TerminateProcess(program, STATUS_CONTROL_C_EXIT);
    printf("%s after %lu ms\n", returned ? "returned" : "timed out", GetTickCount() - began);
    return returned ? 0 : 1;
}
