/* Prints where the game's client area lies on the screen, the work area, and
   the screen's dots per inch: "left top width height work_left work_top
   work_right work_bottom dpi", or "none" while there is no game window; on
   stdout, or into the file named by the first argument (a program started
   in Wine's desktop by explorer has no stdout). */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc > 1 && freopen(argv[1], "w", stdout) == NULL) {
        return 2;
    }
    SetProcessDPIAware();
    HWND window = FindWindowW(NULL, L"Tangleroot");
    RECT client, work;
    POINT corner = {0, 0};
    if (window == NULL || !GetClientRect(window, &client) || !ClientToScreen(window, &corner) ||
        !SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        printf("none\n");
        return 1;
    }
    HDC screen = GetDC(NULL);
    printf("%ld %ld %ld %ld %ld %ld %ld %ld %d\n", corner.x, corner.y, client.right, client.bottom,
           work.left, work.top, work.right, work.bottom, GetDeviceCaps(screen, LOGPIXELSY));
    return 0;
}
