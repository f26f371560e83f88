#include "slit.h"

#include <obsidel/api.h>

#include <algorithm>

namespace obsidel {
namespace {

constexpr const char* kClassName = "ObsidelSlit";
// Laying out again once the docking command has finished: the plug-in
// places its window after handing it over.
constexpr UINT kLayOut = WM_APP + 20;
// Docked windows may be moved or resized by their plug-ins at any time;
// the slit checks the row at this interval and puts it right.
constexpr UINT_PTR kCheckTimer = 1;
constexpr UINT kCheckIntervalMs = 250;

struct Docked {
    HWND window;
    LONG style;  // the window's style before it docked
};

HWND slit = nullptr;
std::vector<Docked> docked;

SIZE windowSize(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

POINT positionInSlit(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    POINT corner{rect.left, rect.top};
    ScreenToClient(slit, &corner);
    return corner;
}

void forgetDestroyedWindows() {
    docked.erase(std::remove_if(docked.begin(), docked.end(), [](const Docked& d) { return !IsWindow(d.window); }),
                 docked.end());
}

bool rowIsRight() {
    LONG x = 0;
    for (const Docked& d : docked) {
        POINT at = positionInSlit(d.window);
        if (at.x != x || at.y != 0) return false;
        x += windowSize(d.window).cx;
    }
    return true;
}

void layOut() {
    forgetDestroyedWindows();
    LONG width = 0, height = 0;
    for (const Docked& d : docked) {
        SIZE size = windowSize(d.window);
        SetWindowPos(d.window, nullptr, width, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        width += size.cx;
        height = std::max(height, size.cy);
    }
    if (docked.empty() || width <= 0 || height <= 0) {
        ShowWindow(slit, SW_HIDE);
        return;
    }
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(slit, HWND_TOPMOST, screenWidth - width, screenHeight - height, width, height,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    InvalidateRect(slit, nullptr, TRUE);
}

void dock(HWND window) {
    if (!window || window == slit || !IsWindow(window)) return;
    for (const Docked& d : docked)
        if (d.window == window) return;
    LONG style = GetWindowLongA(window, GWL_STYLE);
    docked.push_back({window, style});
    SetWindowLongA(window, GWL_STYLE, static_cast<LONG>((style & ~WS_POPUP) | WS_CHILD));
    SetParent(window, slit);
    layOut();
    PostMessageA(slit, kLayOut, 0, 0);
}

void undock(HWND window) {
    auto found = std::find_if(docked.begin(), docked.end(), [&](const Docked& d) { return d.window == window; });
    if (found == docked.end()) return;
    Docked d = *found;
    docked.erase(found);
    if (IsWindow(window)) {
        // Back on the desktop where it stands; its plug-in places it.
        RECT rect{};
        GetWindowRect(window, &rect);
        SetParent(window, nullptr);
        SetWindowLongA(window, GWL_STYLE, d.style);
        SetWindowPos(window, nullptr, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    layOut();
}

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT rect{};
    GetClientRect(window, &rect);
    MakeStyleGradient(dc, &rect, static_cast<StyleItem*>(GetSettingPtr(OB_STYLE_ITEM)), 1);
    EndPaint(window, &ps);
}

LRESULT CALLBACK slitProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case SLIT_ADD:
        dock(reinterpret_cast<HWND>(lParam));
        return 0;
    case SLIT_REMOVE:
        undock(reinterpret_cast<HWND>(lParam));
        return 0;
    case kLayOut:
        layOut();
        return 0;
    case WM_TIMER:
        if (wParam == kCheckTimer && !docked.empty()) {
            forgetDestroyedWindows();
            if (!rowIsRight()) layOut();
        }
        return 0;
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_CLOSE:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

HWND createSlit(HINSTANCE instance) {
    if (slit) return slit;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = slitProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    slit = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, "Slit", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                           1, 1, nullptr, nullptr, instance, nullptr);
    if (slit) SetTimer(slit, kCheckTimer, kCheckIntervalMs, nullptr);
    return slit;
}

void destroySlit() {
    if (!slit) return;
    while (!docked.empty()) undock(docked.back().window);
    KillTimer(slit, kCheckTimer);
    DestroyWindow(slit);
    slit = nullptr;
}

HWND slitWindow() { return slit; }

std::vector<HWND> dockedWindows() {
    std::vector<HWND> windows;
    for (const Docked& d : docked) windows.push_back(d.window);
    return windows;
}

}  // namespace obsidel
