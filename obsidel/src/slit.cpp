#include "slit.h"

#include <obsidel/api.h>

#include <algorithm>
#include <map>

namespace obsidel {
namespace {

constexpr const char* kClassName = "ObsidelSlit";
// Laying out again once the docking command has finished: the plug-in
// places its window after handing it over.
constexpr UINT kLayOut = WM_APP + 20;
// Docked windows may be moved, resized or destroyed by their plug-ins at
// any time: the slit hears of it through the window's own messages (it
// subclasses each docked window) and checks the row once that message is
// handled, so at rest nothing wakes the host.
constexpr UINT kCheckRow = WM_APP + 21;

struct Docked {
    HWND window;
    LONG style;  // the window's style before it docked
};

HWND slit = nullptr;
std::vector<Docked> docked;
// The window procedures that the subclassing of docked windows replaced.
std::map<HWND, WNDPROC> replacedProcs;

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
    LONG x = 0, height = 0;
    for (const Docked& d : docked) {
        POINT at = positionInSlit(d.window);
        if (at.x != x || at.y != 0) return false;
        SIZE size = windowSize(d.window);
        x += size.cx;
        height = std::max(height, size.cy);
    }
    if (docked.empty()) return !IsWindowVisible(slit);
    SIZE slitSize = windowSize(slit);
    return slitSize.cx == x && slitSize.cy == height;
}

LRESULT CALLBACK dockedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto found = replacedProcs.find(window);
    WNDPROC proc = found != replacedProcs.end() ? found->second : DefWindowProcA;
    if (message == WM_NCDESTROY && found != replacedProcs.end()) replacedProcs.erase(found);
    LRESULT result = CallWindowProcA(proc, window, message, wParam, lParam);
    if (message == WM_WINDOWPOSCHANGED || message == WM_NCDESTROY) PostMessageA(slit, kCheckRow, 0, 0);
    return result;
}

void subclass(HWND window) {
    if (replacedProcs.count(window)) return;
    replacedProcs[window] = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(dockedProc));
}

// Gives the window its own procedure back, unless another subclass came
// after ours (that one then keeps calling ours, which passes everything on).
void unsubclass(HWND window) {
    auto found = replacedProcs.find(window);
    if (found == replacedProcs.end()) return;
    if (GetWindowLongPtrA(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(dockedProc)) return;
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(found->second));
    replacedProcs.erase(found);
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
    subclass(window);
    layOut();
    PostMessageA(slit, kLayOut, 0, 0);
}

void undock(HWND window) {
    auto found = std::find_if(docked.begin(), docked.end(), [&](const Docked& d) { return d.window == window; });
    if (found == docked.end()) return;
    Docked d = *found;
    docked.erase(found);
    if (IsWindow(window)) {
        unsubclass(window);
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
    case kCheckRow:
        forgetDestroyedWindows();
        if (!rowIsRight()) layOut();
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
    return slit;
}

void destroySlit() {
    if (!slit) return;
    while (!docked.empty()) undock(docked.back().window);
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
