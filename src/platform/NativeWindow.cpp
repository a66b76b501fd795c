#include "platform/NativeWindow.hpp"

#include "platform/DraggedPlace.hpp"

#ifdef _WIN32
#include <windows.h>

#include <commctrl.h>
#endif

#ifdef _WIN32

namespace {

// This file's part in the window procedure's chain of subclasses.
constexpr UINT_PTR scaleWatch = 1;
bool dragged = false; // between WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE

// The frame Windows draws round `window` at `dpi`.
FrameSize frameAt(HWND window, UINT dpi) {
    const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const DWORD extended = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    RECT outer{0, 0, 0, 0};
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    const auto adjustForDpi = reinterpret_cast<AdjustForDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (adjustForDpi == nullptr || !adjustForDpi(&outer, style, FALSE, extended, dpi)) {
        outer = RECT{0, 0, 0, 0};
        AdjustWindowRectEx(&outer, style, FALSE, extended);
    }
    return FrameSize{-outer.left, -outer.top, outer.right, outer.bottom};
}

ScreenArea areaOf(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// The rectangle round every monitor.
ScreenArea virtualDesktop() {
    return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Places the window anew, through the PlaceWindow `data` holds, when it
// moves to a monitor of another scale.
LRESULT CALLBACK watchScaleChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, watchScaleChange, scaleWatch);
    }
    if (message == WM_DPICHANGED) {
        const auto placeOnMonitor = reinterpret_cast<PlaceWindow>(data);
        // Windows suggests a rectangle that keeps the window's size in the new
        // scale, which may not fit that monitor: the window is placed as at
        // the start instead, near there. The view keeps the board at 0 to 800.
        const RECT suggested = *reinterpret_cast<const RECT*>(lParam);
        const UINT dpi = HIWORD(wParam);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (dpi > 0 &&
            GetMonitorInfoW(MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST), &monitor)) {
            const FrameSize frame = frameAt(window, dpi);
            WindowPlace place = placeOnMonitor(areaOf(monitor.rcWork), frame,
                                               static_cast<float>(dpi) / 96.f, areaOf(suggested));
            if (dragged) {
                // Mid-drag the window stays under the pointer, as Windows suggests
                place = keepDraggedPlace(place, frame, areaOf(suggested), virtualDesktop());
            }
            SetWindowPos(window, nullptr, place.frameLeft, place.frameTop,
                         static_cast<int>(place.side) + frame.left + frame.right,
                         static_cast<int>(place.side) + frame.top + frame.bottom,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            SetWindowPos(window, nullptr, suggested.left, suggested.top,
                         suggested.right - suggested.left, suggested.bottom - suggested.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return 0;
    }
    if (message == WM_ENTERSIZEMOVE || message == WM_EXITSIZEMOVE) {
        dragged = message == WM_ENTERSIZEMOVE;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

void followMonitorScale(sf::WindowHandle window, PlaceWindow place) {
    SetWindowSubclass(window, watchScaleChange, scaleWatch, reinterpret_cast<DWORD_PTR>(place));
}

void fitClientArea(sf::WindowHandle window, unsigned side) {
    RECT client{0, 0, 0, 0};
    RECT outer{0, 0, 0, 0};
    if (!GetClientRect(window, &client) || !GetWindowRect(window, &outer)) {
        return;
    }
    const int wide = static_cast<int>(side) - (client.right - client.left);
    const int high = static_cast<int>(side) - (client.bottom - client.top);
    if (wide != 0 || high != 0) {
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + wide,
                     outer.bottom - outer.top + high, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
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

#else

void followMonitorScale(sf::WindowHandle, PlaceWindow) {}

void fitClientArea(sf::WindowHandle, unsigned) {}

bool setIconsFromProgram(sf::WindowHandle) {
    return false;
}

#endif
