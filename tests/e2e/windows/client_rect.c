/* client_rect FILE [DPI LEFT TOP RIGHT BOTTOM [drag]]: writes "left top width height work_left
   work_top work_right work_bottom dpi" of the game's client area, the work area and the screen into
   FILE (what explorer starts in Wine's desktop has no stdout), or "none". With a DPI, first tells
   the game's window it moved to a monitor of that scale, with Windows' suggested frame
   (WM_DPICHANGED); with "drag", while a move from its system menu (SC_MOVE) is under way, as the
   player drags it, ending the move after reading. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 2 || freopen(argv[1], "w", stdout) == NULL) {
        return 2;
    }
    SetProcessDPIAware();
    HWND window = FindWindowW(NULL, L"Tangleroot");
    if (window != NULL && argc > 6) {
        /* The suggested rectangle lives in the game's memory, as Windows puts it. */
        RECT suggested = {atol(argv[3]), atol(argv[4]), atol(argv[5]), atol(argv[6])};
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        HANDLE game = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, id);
        void* there = VirtualAllocEx(game, NULL, sizeof suggested, MEM_COMMIT, PAGE_READWRITE);
        WriteProcessMemory(game, there, &suggested, sizeof suggested, NULL);
        if (argc > 7) {
            PostMessageW(window, WM_SYSCOMMAND, SC_MOVE, 0);
            Sleep(300); /* the move's loop has begun */
        }
        SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(atoi(argv[2]), atoi(argv[2])),
                     (LPARAM)there);
    }
    RECT client, work;
    POINT corner = {0, 0};
    if (window == NULL || !GetClientRect(window, &client) || !ClientToScreen(window, &corner) ||
        !SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        printf("none\n");
        return 1;
    }
    if (argc > 7) {
        PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0); /* the move ends here */
    }
    printf("%ld %ld %ld %ld %ld %ld %ld %ld %d\n", corner.x, corner.y, client.right, client.bottom,
           work.left, work.top, work.right, work.bottom, GetDeviceCaps(GetDC(NULL), LOGPIXELSY));
    return 0;
}
