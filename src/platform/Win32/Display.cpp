#include "platform/Display.hpp"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <vector>

struct Desktop::Connection {};

namespace {

ScreenArea areaOf(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

ScreenArea virtualScreen() {
    return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// A call newer Windows have; null on older ones. The library stays loaded.
template <typename Call> Call newerCall(const wchar_t* library, const char* name) {
    const HMODULE module = LoadLibraryW(library);
    return module ? reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

// At `dpi` where the system can say (Windows 10 1607 and later), else at the system's.
FrameSize frameAt(DWORD style, DWORD extended, UINT dpi) {
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = newerCall<AdjustForDpi>(L"user32", "AdjustWindowRectExForDpi");
    RECT outer{0, 0, 0, 0};
    if (adjustForDpi == nullptr || !adjustForDpi(&outer, style, FALSE, extended, dpi)) {
        outer = RECT{0, 0, 0, 0};
        AdjustWindowRectEx(&outer, style, FALSE, extended);
    }
    return FrameSize{-outer.left, -outer.top, outer.right, outer.bottom};
}

BOOL CALLBACK addMonitor(HMONITOR, HDC, LPRECT rect, LPARAM layout) {
    reinterpret_cast<DesktopLayout*>(layout)->monitors.push_back(areaOf(*rect));
    return TRUE;
}

POINT pointerOrPrimary() {
    POINT pointer{0, 0};
    return GetCursorPos(&pointer) ? pointer : POINT{0, 0};
}

// The monitor under the pointer's own where the system says (Windows 8.1 and later).
unsigned openingDpi() {
    using GetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto getDpi = newerCall<GetDpiForMonitor>(L"shcore", "GetDpiForMonitor");
    UINT dpiX = 0, dpiY = 0;
    const HMONITOR monitor = MonitorFromPoint(pointerOrPrimary(), MONITOR_DEFAULTTOPRIMARY);
    if (getDpi == nullptr || FAILED(getDpi(monitor, 0 /* MDT_EFFECTIVE_DPI */, &dpiX, &dpiY))) {
        const HDC screen = GetDC(nullptr);
        dpiY = static_cast<UINT>(std::max(GetDeviceCaps(screen, LOGPIXELSY), 0));
        ReleaseDC(nullptr, screen);
    }
    return dpiY > 0 ? dpiY : 96u;
}

} // namespace

Desktop::Desktop() : connection_(std::make_unique<Connection>()) {}

DesktopLayout Desktop::layout() const {
    DesktopLayout layout;
    layout.screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    // Wine keeps the monitors it saw first for as long as its server runs,
    // even when the screen has changed since: then only the mode is true.
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        layout.screen.width = static_cast<int>(mode.dmPelsWidth);
        layout.screen.height = static_cast<int>(mode.dmPelsHeight);
    }
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info) ||
        areaOf(info.rcMonitor).width != layout.screen.width ||
        areaOf(info.rcMonitor).height != layout.screen.height) {
        return layout;
    }
    layout.screen = virtualScreen();
    EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&layout));
    const POINT pointer = pointerOrPrimary();
    layout.pointerX = pointer.x;
    layout.pointerY = pointer.y;
    if (GetMonitorInfoW(MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY), &info)) {
        layout.workArea = areaOf(info.rcWork);
    }
    return layout;
}

float Desktop::scale() const {
    return static_cast<float>(openingDpi()) / 96.f;
}

std::optional<FrameSize> Desktop::frame() const {
    // The style SFML gives a window with a title bar and a close button.
    return frameAt(WS_CAPTION | WS_MINIMIZEBOX | WS_SYSMENU, 0, openingDpi());
}

namespace {

constexpr UINT_PTR scaleWatch = 1;       // this file's part in the window's chain of subclasses
bool dragged = false;                    // between WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE
bool moved = false;                      // since followMonitorScale
std::optional<ScreenArea> openingCorner; // the first move's, till the client is fitted

// Windows suggests a rectangle that keeps the window's size at the new
// scale, which may not fit that monitor: the window is placed anew there.
RECT placedAt(HWND window, UINT dpi, const RECT& suggested, HMONITOR under,
              PlaceAfterScaleChange place) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (dpi == 0 || !GetMonitorInfoW(under, &monitor)) {
        return suggested;
    }
    const ScaleChange change{areaOf(monitor.rcWork),
                             frameAt(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                                     static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), dpi),
                             static_cast<float>(dpi) / 96.f,
                             areaOf(suggested),
                             dragged,
                             virtualScreen()};
    const ScreenArea frame = frameAfterScaleChange(change, place, openingCorner);
    return {frame.left, frame.top, frame.left + frame.width, frame.top + frame.height};
}

LRESULT CALLBACK watchScaleChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
    const auto place = reinterpret_cast<PlaceAfterScaleChange>(data);
    const auto* asked = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, watchScaleChange, scaleWatch);
    } else if (message == WM_ENTERSIZEMOVE || message == WM_EXITSIZEMOVE) {
        dragged = message == WM_ENTERSIZEMOVE;
    } else if (message == WM_WINDOWPOSCHANGING && !moved && !(asked->flags & SWP_NOMOVE)) {
        moved = true;
        openingCorner = ScreenArea{asked->x, asked->y, 0, 0};
    } else if (message == WM_GETDPISCALEDSIZE) {
        // Asked before WM_DPICHANGED; dragged, the window goes where the pointer is.
        RECT now{0, 0, 0, 0};
        GetWindowRect(window, &now);
        const RECT placed =
            placedAt(window, static_cast<UINT>(wParam), now,
                     dragged ? MonitorFromPoint(pointerOrPrimary(), MONITOR_DEFAULTTONEAREST)
                             : MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                     place);
        *reinterpret_cast<SIZE*>(lParam) = {placed.right - placed.left, placed.bottom - placed.top};
        return TRUE;
    } else if (message == WM_DPICHANGED) {
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        const RECT placed = placedAt(window, HIWORD(wParam), suggested,
                                     MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST), place);
        SetWindowPos(window, nullptr, placed.left, placed.top, placed.right - placed.left,
                     placed.bottom - placed.top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
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
    if (moved) {
        openingCorner.reset(); // opened: from now on a window is placed where it goes
    }
    RECT client{0, 0, 0, 0}, outer{0, 0, 0, 0};
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    const int square = static_cast<int>(side); // a client rectangle's corner is 0, 0
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left - client.right + square,
                 outer.bottom - outer.top - client.bottom + square,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Desktop::offerIcons(sf::WindowHandle window, const std::vector<sf::Image>&) const {
    const auto icon = [&](int width, int height) { // the program's icon resource has the id 1
        return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                             IMAGE_ICON, width, height, LR_SHARED));
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

float Desktop::refreshRate(sf::WindowHandle window) const {
    MONITORINFOEXW monitor{};
    monitor.cbSize = sizeof monitor;
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    // 0 and 1 stand for the hardware's default rate.
    return GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor) &&
                   EnumDisplaySettingsW(monitor.szDevice, ENUM_CURRENT_SETTINGS, &mode) &&
                   mode.dmDisplayFrequency > 1
               ? static_cast<float>(mode.dmDisplayFrequency)
               : 0.f;
}

XErrorsSurvived::XErrorsSurvived() = default;
XErrorsSurvived::~XErrorsSurvived() = default;

Desktop::~Desktop() = default;
Desktop::Desktop(Desktop&&) noexcept = default;
