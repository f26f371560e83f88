// The modal move and size loop that DefWindowProcA runs for
// WM_SYSCOMMAND SC_MOVE and SC_SIZE started with the mouse.
//
// Promises the real sequence: WM_GETMINMAXINFO for the limits, the capture
// taken, WM_ENTERSIZEMOVE; then for every pointer move that changes the
// place (taken from the message's point, kept inside the parent's client
// area, and for sizing inside the range that keeps the size between the
// minimum and maximum tracking sizes) WM_MOVING with the moved window
// rectangle, or WM_SIZING with the edge (WMSZ_*) and the dragged rectangle,
// either of which the window may change, then SetWindowPos to that
// rectangle (HWND_TOP, and SWP_NOSIZE when moving: the window is brought to
// the top and activated if it was not), which brings WM_WINDOWPOSCHANGING
// before and WM_WINDOWPOSCHANGED after the change. Other messages are dispatched meanwhile (painting and timers go
// on). The loop ends when the left button is released (that release is
// consumed), on Return, on Escape (which puts the window back where it
// started), when the capture is taken away, or on WM_QUIT (posted again for
// the outer loop); then the capture is released (WM_CAPTURECHANGED) and
// WM_EXITSIZEMOVE sent. The loop starts from the point of the last message
// the thread took out (GetMessagePos), so a drag begun by a press is
// measured from that press. Keyboard moves (SC_MOVE or SC_SIZE without a
// hit code) are not offered: the loop returns at once.
#include <windows.h>

#include <algorithm>

#include "user/window_manager.h"

using namespace subset::user;

namespace {

bool onLeft(int hit) { return hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT; }
bool onRight(int hit) { return hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT; }
bool onTop(int hit) { return hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT; }
bool onBottom(int hit) { return hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT; }

// Window rectangle in the parent's client coordinates, and the parent's
// client area on the screen (the screen for a top-level window).
bool placement(HWND handle, RECT& rect, RECT& area) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return false;
    rect = window->rect;
    SIZE screen = screenSizeLocked();
    area = RECT{0, 0, screen.cx, screen.cy};
    if (Window* parent = window->parent ? findWindowLocked(window->parent) : nullptr) {
        POINT origin = clientOriginOnScreenLocked(*parent);
        area = RECT{origin.x, origin.y, origin.x + parent->client.right - parent->client.left,
                    origin.y + parent->client.bottom - parent->client.top};
    }
    return true;
}

}  // namespace

namespace subset::user {

void runSizeMoveLoop(HWND window, WPARAM command) {
    const UINT systemCommand = command & 0xFFF0;
    int hit = static_cast<int>(command & 0x0F);
    if (hit == 0) return;
    if (systemCommand == SC_MOVE) {
        hit = HTCAPTION;
    } else {
        hit += HTLEFT - WMSZ_LEFT;
        if (hit < HTLEFT || hit > HTBOTTOMRIGHT) return;
    }
    const bool moving = hit == HTCAPTION;
    if (!IsWindowVisible(window)) return;

    MINMAXINFO limits = minMaxInfo(window);
    RECT sizing{}, area{};
    if (!placement(window, sizing, area)) return;
    const RECT original = sizing;
    DWORD start = GetMessagePos();
    POINT anchor{static_cast<short>(LOWORD(start)), static_cast<short>(HIWORD(start))};

    // The pointer's range: inside the parent's client area, and for sizing
    // where the size stays within the tracking limits (bounds inclusive).
    RECT range{area.left, area.top, area.right - 1, area.bottom - 1};
    const int width = sizing.right - sizing.left, height = sizing.bottom - sizing.top;
    if (onRight(hit)) {
        range.left = std::max<LONG>(range.left, anchor.x + limits.ptMinTrackSize.x - width);
        range.right = std::min<LONG>(range.right, anchor.x + limits.ptMaxTrackSize.x - width);
    } else if (onLeft(hit)) {
        range.left = std::max<LONG>(range.left, anchor.x - (limits.ptMaxTrackSize.x - width));
        range.right = std::min<LONG>(range.right, anchor.x - (limits.ptMinTrackSize.x - width));
    }
    if (onBottom(hit)) {
        range.top = std::max<LONG>(range.top, anchor.y + limits.ptMinTrackSize.y - height);
        range.bottom = std::min<LONG>(range.bottom, anchor.y + limits.ptMaxTrackSize.y - height);
    } else if (onTop(hit)) {
        range.top = std::max<LONG>(range.top, anchor.y - (limits.ptMaxTrackSize.y - height));
        range.bottom = std::min<LONG>(range.bottom, anchor.y - (limits.ptMinTrackSize.y - height));
    }

    SetCapture(window);
    sendMessage(window, WM_ENTERSIZEMOVE, 0, 0);
    bool restore = false;
    MSG message;
    for (;;) {
        if (!GetMessageA(&message, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (GetCapture() != window) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
            break;
        }
        if (message.message == WM_LBUTTONUP) break;
        if (message.message == WM_KEYDOWN && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
            restore = message.wParam == VK_ESCAPE;
            break;
        }
        if (message.message != WM_MOUSEMOVE) {
            if (message.message != WM_KEYDOWN) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            continue;
        }
        POINT point{std::clamp(message.pt.x, range.left, std::max(range.left, range.right)),
                    std::clamp(message.pt.y, range.top, std::max(range.top, range.bottom))};
        int dx = point.x - anchor.x, dy = point.y - anchor.y;
        if (!dx && !dy) continue;
        anchor = point;
        RECT next = sizing;
        if (moving) {
            OffsetRect(&next, dx, dy);
            sendMessage(window, WM_MOVING, 0, reinterpret_cast<LPARAM>(&next));
        } else {
            if (onLeft(hit)) next.left += dx;
            if (onRight(hit)) next.right += dx;
            if (onTop(hit)) next.top += dy;
            if (onBottom(hit)) next.bottom += dy;
            sendMessage(window, WM_SIZING, static_cast<WPARAM>(hit - (HTLEFT - WMSZ_LEFT)),
                        reinterpret_cast<LPARAM>(&next));
        }
        setWindowPos(window, HWND_TOP, next.left, next.top, next.right - next.left, next.bottom - next.top,
                     moving ? SWP_NOSIZE : 0);
        sizing = next;
        if (!IsWindow(window)) return;
    }
    if (GetCapture() == window) ReleaseCapture();
    if (restore && IsWindow(window))
        setWindowPos(window, nullptr, original.left, original.top, original.right - original.left,
                     original.bottom - original.top, SWP_NOACTIVATE | SWP_NOZORDER);
    if (IsWindow(window)) sendMessage(window, WM_EXITSIZEMOVE, 0, 0);
}

}  // namespace subset::user
