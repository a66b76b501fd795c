#include "platform/Display.hpp"

#include <windows.h>

#include <commctrl.h>

#include <vector>

// Windows needs no connection of the game's own.
struct Desktop::Connection {};

namespace {

ScreenArea areaOf(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// The frame Windows draws round a client area of a window of these styles at
// `dpi`: at that dpi where the system can say (Windows 10 1607 and later),
// else at the system's; nothing when it cannot tell.
std::optional<FrameSize> frameAt(DWORD style, DWORD extended, UINT dpi) {
    RECT outer{0, 0, 0, 0};
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    const auto adjustForDpi = reinterpret_cast<AdjustForDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (adjustForDpi == nullptr || !adjustForDpi(&outer, style, FALSE, extended, dpi)) {
        outer = RECT{0, 0, 0, 0};
        if (!AdjustWindowRectEx(&outer, style, FALSE, extended)) {
            return std::nullopt;
        }
    }
    return FrameSize{-outer.left, -outer.top, outer.right, outer.bottom};
}

BOOL CALLBACK addMonitor(HMONITOR, HDC, LPRECT rect, LPARAM layout) {
    reinterpret_cast<DesktopLayout*>(layout)->monitors.push_back(areaOf(*rect));
    return TRUE;
}

// Where the pointer is; the primary monitor's corner when that is not known.
POINT pointerOrPrimary() {
    POINT pointer{0, 0};
    if (!GetCursorPos(&pointer)) {
        pointer = POINT{0, 0};
    }
    return pointer;
}

} // namespace

Desktop::Desktop() : connection_(std::make_unique<Connection>()) {}

DesktopLayout Desktop::layout() const {
    DesktopLayout layout;
    layout.screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    // The primary display's mode as it is now. Wine keeps the monitors it saw
    // first for as long as its server runs, even when the screen has changed
    // since: then only the mode is to be trusted.
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        layout.screen = {0, 0, static_cast<int>(mode.dmPelsWidth),
                         static_cast<int>(mode.dmPelsHeight)};
    }
    MONITORINFO info{};
    info.cbSize = sizeof info;
    const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    const bool current = GetMonitorInfoW(primary, &info) &&
                         info.rcMonitor.right - info.rcMonitor.left == layout.screen.width &&
                         info.rcMonitor.bottom - info.rcMonitor.top == layout.screen.height;
    if (current) {
        // Every monitor, and the work area of the one under the pointer,
        // where the window opens (the primary one when the pointer is not known)
        layout.screen = areaOf(
            RECT{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                 GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                 GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)});
        EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&layout));
        const POINT pointer = pointerOrPrimary();
        layout.pointerX = pointer.x;
        layout.pointerY = pointer.y;
        if (GetMonitorInfoW(MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY), &info)) {
            layout.workArea = areaOf(info.rcWork);
        }
    }
    return layout;
}

namespace {

// The dots per inch of the monitor the window opens on (the one under the
// pointer, as `layout` tells): its own where the system says (Windows 8.1 and later),
// else the system's.
unsigned openingDpi() {
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (const HMODULE shcore = LoadLibraryW(L"shcore.dll")) {
        // MONITOR_DPI_TYPE's MDT_EFFECTIVE_DPI is 0.
        using GetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
        const auto getDpi = reinterpret_cast<GetDpiForMonitor>(
            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
        if (getDpi == nullptr ||
            FAILED(getDpi(MonitorFromPoint(pointerOrPrimary(), MONITOR_DEFAULTTOPRIMARY), 0, &dpiX,
                          &dpiY))) {
            dpiY = 0;
        }
        FreeLibrary(shcore);
    }
    if (dpiY == 0) {
        const HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        dpiY = dpi > 0 ? static_cast<UINT>(dpi) : 0u;
    }
    return dpiY > 0 ? dpiY : 96u;
}

} // namespace

float Desktop::scale() const {
    return static_cast<float>(openingDpi()) / 96.f;
}

std::optional<FrameSize> Desktop::frame() const {
    // The style SFML gives a window with a title bar and a close button.
    return frameAt(WS_CAPTION | WS_MINIMIZEBOX | WS_SYSMENU, 0, openingDpi());
}

namespace {

// This file's part in the window procedure's chain of subclasses.
constexpr UINT_PTR scaleWatch = 1;
bool dragged = false; // between WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE

// Places the window anew, through the PlaceAfterScaleChange `data` holds, when
// it moves to a monitor of another scale.
LRESULT CALLBACK watchScaleChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, watchScaleChange, scaleWatch);
    }
    if (message == WM_DPICHANGED) {
        const auto place = reinterpret_cast<PlaceAfterScaleChange>(data);
        // Windows suggests a rectangle that keeps the window's size in the new
        // scale, which may not fit that monitor: the window is placed as at
        // the start instead, near there. The view keeps the board at 0 to 800.
        const RECT suggested = *reinterpret_cast<const RECT*>(lParam);
        const UINT dpi = HIWORD(wParam);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (dpi > 0 &&
            GetMonitorInfoW(MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST), &monitor)) {
            ScaleChange change;
            change.workArea = areaOf(monitor.rcWork);
            change.frame = frameAt(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                                   static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), dpi)
                               .value_or(FrameSize{});
            change.scale = static_cast<float>(dpi) / 96.f;
            change.suggested = areaOf(suggested);
            change.dragged = dragged;
            change.desktop = {
                GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
            const WindowPlace placed = place(change);
            const FrameSize& frame = change.frame;
            SetWindowPos(window, nullptr, placed.frameLeft, placed.frameTop,
                         static_cast<int>(placed.side) + frame.left + frame.right,
                         static_cast<int>(placed.side) + frame.top + frame.bottom,
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

void Desktop::followMonitorScale(sf::WindowHandle window, PlaceAfterScaleChange place) const {
    SetWindowSubclass(window, watchScaleChange, scaleWatch, reinterpret_cast<DWORD_PTR>(place));
}

std::optional<PlacedFrame> Desktop::probeFrame(WindowPlace) const {
    return std::nullopt;
}

void Desktop::fitClientArea(sf::WindowHandle window, unsigned side) const {
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

bool Desktop::offerIcons(sf::WindowHandle window, const std::vector<sf::Image>&) const {
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

XErrorsSurvived::XErrorsSurvived() = default;
XErrorsSurvived::~XErrorsSurvived() = default;

Desktop::~Desktop() = default;
Desktop::Desktop(Desktop&&) noexcept = default;
