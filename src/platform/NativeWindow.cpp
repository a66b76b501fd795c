#include "platform/NativeWindow.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

#ifdef _WIN32

namespace {

WNDPROC formerProcedure = nullptr;

LRESULT CALLBACK watchScaleChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DPICHANGED) {
        // Windows suggests a rectangle that keeps the window's size in the new
        // scale; the view keeps the board at 0 to 800 inside it.
        const RECT* const suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    return CallWindowProcW(formerProcedure, window, message, wParam, lParam);
}

} // namespace

void followMonitorScale(sf::WindowHandle window) {
    formerProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&watchScaleChange)));
}

bool setIconsFromProgram(sf::WindowHandle window) {
    const HINSTANCE program = GetModuleHandleW(nullptr);
    // The icon resource the program is built with has the id 1.
    const auto icon = [&](int width, int height) {
        return static_cast<HICON>(
            LoadImageW(program, MAKEINTRESOURCEW(1), IMAGE_ICON, width, height, LR_SHARED));
    };
    const HICON big = icon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    const HICON small = icon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    if (big == nullptr || small == nullptr) {
        return false;
    }
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    return true;
}

bool offerIcons(sf::WindowHandle, const std::vector<sf::Image>&) {
    return false;
}

#else

void followMonitorScale(sf::WindowHandle) {}

bool setIconsFromProgram(sf::WindowHandle) {
    return false;
}

bool offerIcons(sf::WindowHandle window, const std::vector<sf::Image>& icons) {
    // Width, height, then the pixels as ARGB, for each picture in turn; Xlib
    // takes 32-bit items as longs.
    std::vector<unsigned long> data;
    for (const sf::Image& icon : icons) {
        const sf::Vector2u size = icon.getSize();
        if (size.x == 0 || size.y == 0) {
            continue;
        }
        data.push_back(size.x);
        data.push_back(size.y);
        const sf::Uint8* pixel = icon.getPixelsPtr();
        for (std::size_t i = 0; i < static_cast<std::size_t>(size.x) * size.y; ++i, pixel += 4) {
            data.push_back(static_cast<unsigned long>(pixel[3]) << 24 |
                           static_cast<unsigned long>(pixel[0]) << 16 |
                           static_cast<unsigned long>(pixel[1]) << 8 | pixel[2]);
        }
    }
    Display* const display = data.empty() ? nullptr : XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(data.data()),
                    static_cast<int>(data.size()));
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}

#endif
