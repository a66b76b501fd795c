/* Starts a program as a launcher may: start_detached PROGRAM runs it with
   DETACHED_PROCESS, so it has no console at all, and no standard handles.
   Prints "ended N" with its exit status once it ends. */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
    STARTUPINFOA startup = {.cb = sizeof startup, .dwFlags = STARTF_USESTDHANDLES};
    PROCESS_INFORMATION started;
    DWORD status = 0;
    if (argc != 2 || !CreateProcessA(argv[1], NULL, NULL, NULL, FALSE, DETACHED_PROCESS, NULL, NULL,
                                     &startup, &started)) {
        return 2;
    }
    WaitForSingleObject(started.hProcess, INFINITE);
    GetExitCodeProcess(started.hProcess, &status);
    printf("ended %lu\n", status);
    return 0;
}
