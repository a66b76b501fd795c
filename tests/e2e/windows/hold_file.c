/* hold_file PATH MILLISECONDS [shared|read]: another program with a file of the game open, as an
   indexer, a virus scanner or a sync tool might have. With "shared" others may read, write and
   delete it meanwhile; with "read" only read it; with neither nobody else may open it. Prints
   "held" once the file is open and "free" once it is closed again. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
    DWORD share = argc < 4 ? 0
                  : strcmp(argv[3], "read") == 0
                      ? FILE_SHARE_READ
                      : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = argc < 3 ? INVALID_HANDLE_VALUE
                           : CreateFileA(argv[1], GENERIC_READ, share, NULL, OPEN_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    setvbuf(stdout, NULL, _IONBF, 0);
    puts("held");
    Sleep((DWORD)atoi(argv[2]));
    CloseHandle(file);
    puts("free");
    return 0;
}
