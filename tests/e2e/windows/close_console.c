/* close_console PROGRAM.exe [move]: closes the program's console as Windows does (Wine never does):
   a thread started in it at kernelbase's CtrlRoutine with CTRL_CLOSE_EVENT runs its console
   handlers, and it is ended once they return, or after 5 s (exit status 1). Prints "found" once the
   program runs, then waits for a line on its input. With "move", first starts a move of the window
   titled Tangleroot from its system menu (SC_MOVE), as a player dragging it does: Windows runs a
   modal loop of its own in it. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <tlhelp32.h>

int main(int argc, char** argv) {
    DWORD id = 0;
    for (int tries = 0; argc > 1 && tries < 400 && !id; ++tries) { /* 20 s to start */
        Sleep(50);
        HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {.dwSize = sizeof entry};
        for (BOOL more = Process32First(all, &entry); more; more = Process32Next(all, &entry)) {
            id = lstrcmpiA(entry.szExeFile, argv[1]) == 0 ? entry.th32ProcessID : id;
        }
        CloseHandle(all);
    }
    /* System libraries lie at the same address in every process. */
    FARPROC routine = GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CtrlRoutine");
    HANDLE program = id ? OpenProcess(PROCESS_ALL_ACCESS, FALSE, id) : NULL;
    char line[16];
    if (!program || !routine || puts("found") < 0 || fflush(stdout) ||
        !fgets(line, sizeof line, stdin)) {
        return 2;
    }
    if (argc > 2 && strcmp(argv[2], "move") == 0) {
        HWND window = FindWindowW(NULL, L"Tangleroot"); /* none would post to this thread */
        if (!window || !PostMessageW(window, WM_SYSCOMMAND, SC_MOVE, 0)) {
            return 2;
        }
        Sleep(300); /* the move's loop has begun */
    }
    HANDLE thread = CreateRemoteThread(program, NULL, 0, (LPTHREAD_START_ROUTINE)routine,
                                       (LPVOID)CTRL_CLOSE_EVENT, 0, NULL);
    BOOL returned = thread && WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0;
    TerminateProcess(program, STATUS_CONTROL_C_EXIT);
    return returned ? 0 : 1;
}
