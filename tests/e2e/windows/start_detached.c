/* start_detached PROGRAM: starts it as a launcher may, with DETACHED_PROCESS (no console at all,
   no standard handles), and prints "ended N" with its exit status once it ends. */
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
