/* A file's attributes as Windows programs see them: file_attributes PATH
   [HEX] sets them to HEX when given, then prints them in hex; prints nothing when it cannot. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc > 2 && !SetFileAttributesA(argv[1], strtoul(argv[2], NULL, 16))) {
        return 1;
    }
    DWORD attributes = GetFileAttributesA(argv[1]);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return 1; /* prints nothing, which no caller takes for attributes */
    }
    printf("%lx\n", attributes);
    return 0;
}
