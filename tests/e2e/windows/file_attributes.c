/* A file's attributes as Windows programs see them: file_attributes PATH
   [HEX] sets them to HEX when given, then prints them in hex, or "none". */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: file_attributes PATH [HEX]\n");
        return 2;
    }
    if (argc > 2 && !SetFileAttributesA(argv[1], strtoul(argv[2], NULL, 16))) {
        printf("cannot set: error %lu\n", GetLastError());
        return 1;
    }
    DWORD attributes = GetFileAttributesA(argv[1]);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        printf("none\n");
        return 1;
    }
    printf("%lx\n", attributes);
    return 0;
}
