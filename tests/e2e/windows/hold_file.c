/* Another Windows program with a file of the game open, as an indexer, a virus
   scanner or a sync tool might have: hold_file PATH MILLISECONDS [shared|read].
   With "shared" others may read, write and delete it meanwhile; with "read"
   others may only read it; with neither nobody else may open it. Prints "held"
   once the file is open and "free" once it is closed again. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: hold_file PATH MILLISECONDS [shared|read]\n");
        return 2;
    }
    DWORD share = 0;
    if (argc > 3) {
        share = strcmp(argv[3], "read") == 0
                    ? FILE_SHARE_READ
                    : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    }
    HANDLE file =
        CreateFileA(argv[1], GENERIC_READ, share, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        printf("cannot open %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    printf("held\n");
    fflush(stdout);
    Sleep((DWORD)atoi(argv[2]));
    CloseHandle(file);
    printf("free\n");
    fflush(stdout);
    return 0;
}
