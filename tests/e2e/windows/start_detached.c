/* Starts a program as a launcher may: with DETACHED_PROCESS, so it has no
   console at all, and no standard handles either. start_detached PROGRAM:
   prints "started", waits for the program's end, then prints "ended N" with
   its exit status. */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: start_detached PROGRAM\n");
        return 2;
    }
    STARTUPINFOA startup = {.cb = sizeof startup, .dwFlags = STARTF_USESTDHANDLES};
    PROCESS_INFORMATION started;
    if (!CreateProcessA(argv[1], NULL, NULL, NULL, FALSE, DETACHED_PROCESS, NULL, NULL, &startup,
                        &started)) {
        printf("cannot start %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    printf("started\n");
    fflush(stdout);
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(started.hProcess, &status);
    printf("ended %lu\n", status);
    return 0;
}
