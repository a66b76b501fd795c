/* A file's attributes as Windows programs see them: file_attributes PATH
   [HEX] sets them to HEX when given, then prints them in hex. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc > 2) {
        SetFileAttributesA(argv[1], strtoul(argv[2], NULL, 16));
    }
    printf("%lx\n", GetFileAttributesA(argv[1]));
    return 0;
}
