// The plug-in window's procedure: what each of its messages does (the
// state the settings give it is brought in force by display/window_state).
// Floating, the whole window is a caption (drag to move, Alt+drag to size)
// and every move or resize is written to the rc file at once; docked in
// the slit it is a plain client window whose position belongs to the slit.
#include "window/window.h"

#include "base/limits.h"
#include "commands/interpreter.h"
#include "commands/menu.h"
#include "config/plugin_state.h"
#include "config/settings.h"
#include "config/settings_table.h"
#include "display/render.h"
#include "display/window_state.h"

namespace vumira {
namespace {

// The host messages the window asks for, 0-terminated; the same list is
// passed when registering and when unregistering.
constexpr UINT kHostMessages[] = {OBM_RECONFIGURE, OBM_BROADCAST, 0};
static_assert(sizeof kHostMessages == 3 * 4 && kHostMessages[0] == 10103 && kHostMessages[1] == 10901);

constexpr int kMinTrackSize = 5;
constexpr LPARAM kSnapDistance = 10;
constexpr UINT kSnapFarEdges = 1;

// The system commands that start the platform's size and move loops.
constexpr WPARAM kSizeFromBottomRight = SC_SIZE | WMSZ_BOTTOMRIGHT;  // 0xF008
constexpr WPARAM kMoveByCaption = SC_MOVE | HTCAPTION;              // 0xF012
static_assert(kSizeFromBottomRight == 0xF008 && kMoveByCaption == 0xF012);

LPARAM hostMessageList() { return reinterpret_cast<LPARAM>(kHostMessages); }

// The window's place, size and bar scale are settings: each new value is
// stored and written through its row at once.
void record(SettingId id, int value) {
    const Setting& row = setting(id);
    writeSetting(row, storeNumber(row, value));
}

// Sizes below the smallest window are raised to it before they are recorded.
int atLeastRecordedSize(int size) { return size < kWindowSizeMin ? kWindowSizeMin : size; }

void onCreate(HWND window) {
    plugin.pluginWindow.store(window);
    SendMessageA(plugin.hostWindow, OBM_REGISTERMESSAGE, reinterpret_cast<WPARAM>(window), hostMessageList());
    MakeSticky(window);
    createBackBuffer();
    applyWindowState();
}

void onDestroy(HWND window) {
    RemoveSticky(window);
    releaseBackBuffer();
    SendMessageA(plugin.hostWindow, OBM_UNREGISTERMESSAGE, reinterpret_cast<WPARAM>(window), hostMessageList());
}

void onSize(LPARAM lParam) {
    record(SettingId::Width, atLeastRecordedSize(LOWORD(lParam)));
    record(SettingId::Height, atLeastRecordedSize(HIWORD(lParam)));
    recreateBackBuffer();
}

void onWindowPosChanging(HWND window, WINDOWPOS* pos) {
    if (!plugin.inSlit && plugin.snapWindow && IsWindowVisible(window))
        SnapWindowToEdge(pos, kSnapDistance, kSnapFarEdges);
}

void onWindowPosChanged(const WINDOWPOS* pos) {
    // The change is not passed on, so no WM_SIZE follows it: the back
    // buffer takes the new size here, docked or floating.
    if (!(pos->flags & SWP_NOSIZE)) followClientSize();
    if (plugin.inSlit) return;  // the slit places a docked window
    record(SettingId::PosX, pos->x);
    record(SettingId::PosY, pos->y);
    record(SettingId::Width, atLeastRecordedSize(pos->cx));
    record(SettingId::Height, atLeastRecordedSize(pos->cy));
}

void onNonClientLeftPress(HWND window) {
    const bool altDown = (GetAsyncKeyState(VK_MENU) & 0x8000) != 0;
    PostMessageA(window, WM_SYSCOMMAND, altDown ? kSizeFromBottomRight : kMoveByCaption, 0);
}

void onMouseWheel(WPARAM wParam) {
    // The analysis reads the value on the wave-in thread; only this thread writes it.
    int height = numberOf(SettingId::MaxBarHeight);
    if (GET_WHEEL_DELTA_WPARAM(wParam) > 0) {
        if (height < kBarHeightMax) ++height;
    } else if (height > kBarHeightMin) {
        --height;
    }
    record(SettingId::MaxBarHeight, height);
}

void onSizing(const RECT* dragged) {
    plugin.width.store(dragged->right - dragged->left, std::memory_order_relaxed);
    plugin.height.store(dragged->bottom - dragged->top, std::memory_order_relaxed);
    recreateBackBuffer();
}

// Messages whose long parameter points at a record the handling reads or
// fills; one that comes without it is answered 0 and changes nothing.
bool needsRecord(UINT message) {
    return message == WM_GETMINMAXINFO || message == WM_WINDOWPOSCHANGING || message == WM_WINDOWPOSCHANGED ||
           message == WM_SIZING;
}

}  // namespace

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (needsRecord(message) && !lParam) return 0;
    switch (message) {
    case WM_CREATE: onCreate(window); return 0;
    case WM_DESTROY: onDestroy(window); return 0;
    case WM_SIZE: onSize(lParam); return 0;
    case WM_PAINT: paintSpectrum(); return 0;
    case WM_CLOSE: return 0;  // a close request does not close the window
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize.x = kMinTrackSize;
        limits->ptMinTrackSize.y = kMinTrackSize;
        return 0;
    }
    case WM_WINDOWPOSCHANGING: onWindowPosChanging(window, reinterpret_cast<WINDOWPOS*>(lParam)); return 0;
    case WM_WINDOWPOSCHANGED: onWindowPosChanged(reinterpret_cast<const WINDOWPOS*>(lParam)); return 0;
    case WM_NCHITTEST: return plugin.inSlit ? HTCLIENT : HTCAPTION;
    case WM_NCLBUTTONDOWN: onNonClientLeftPress(window); return 0;
    case WM_NCRBUTTONUP:
    case WM_RBUTTONUP: buildConfigMenu(1); return 0;
    case WM_MOUSEWHEEL: onMouseWheel(wParam); return 0;
    case WM_SIZING: onSizing(reinterpret_cast<const RECT*>(lParam)); return 0;
    case OBM_RECONFIGURE: handleReconfigure(); return 0;
    case OBM_BROADCAST: handleBroadcast(reinterpret_cast<const char*>(lParam)); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace vumira
