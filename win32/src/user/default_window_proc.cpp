// The default handling of messages.
//
// Provides: DefWindowProcA.
//
// Promises the real defaults that windows lean on:
//  - WM_NCCREATE keeps the window's text and answers TRUE; WM_NCCALCSIZE
//    leaves the client area as big as the window; WM_SETTEXT, WM_GETTEXT and
//    WM_GETTEXTLENGTH keep and give the text.
//  - WM_WINDOWPOSCHANGING bounds the new size by WM_GETMINMAXINFO for
//    windows with WS_THICKFRAME and overlapped windows (not pop-ups);
//    WM_WINDOWPOSCHANGED sends WM_MOVE (client position in the parent) when
//    the client area moved and WM_SIZE when it changed size, in that order.
//    Nothing else sends WM_MOVE or WM_SIZE after creation.
//  - WM_NCHITTEST: HTNOWHERE outside the window, HTCLIENT in the client
//    area (all of a borderless window), HTBORDER elsewhere.
//  - WM_NCLBUTTONDOWN on HTCAPTION sends WM_SYSCOMMAND SC_MOVE | HTCAPTION;
//    on a sizing border, SC_SIZE with the matching WMSZ_ edge.
//  - WM_SYSCOMMAND: SC_MOVE and SC_SIZE run the modal move and size loop
//    (size_move_loop.cpp); SC_CLOSE sends WM_CLOSE.
//  - WM_CLOSE destroys the window. WM_PAINT validates (BeginPaint/EndPaint).
//    WM_ERASEBKGND fills the client area with the class brush and answers 1,
//    or answers 0 when the class has none.
//  - WM_RBUTTONUP and WM_NCRBUTTONUP send WM_CONTEXTMENU (screen point);
//    WM_CONTEXTMENU, WM_MOUSEWHEEL and WM_MOUSEACTIVATE of a child window go
//    to its parent; WM_MOUSEACTIVATE answers MA_ACTIVATE (MA_NOACTIVATE for
//    WS_EX_NOACTIVATE).
//  - WM_NCACTIVATE answers TRUE; WM_ACTIVATE gives the focus to a window
//    that becomes active; Alt+F4 (WM_SYSKEYDOWN) posts SC_CLOSE to the
//    top-level window.
//  Everything else answers 0.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "user/window_manager.h"

using namespace subset::user;

namespace {

POINT pointFrom(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

void setText(HWND handle, const char* text) {
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return;
        window->text = text ? text : "";
    }
    syncNativeWindow(handle);
}

HWND childParent(HWND handle) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window || (window->style & (WS_CHILD | WS_POPUP)) != WS_CHILD) return nullptr;
    return window->parent;
}

LRESULT hitTest(HWND handle, POINT screen) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return HTNOWHERE;
    RECT rect = window->rect;
    RECT client = window->client;
    if (Window* parent = window->parent ? findWindowLocked(window->parent) : nullptr) {
        POINT origin = clientOriginOnScreenLocked(*parent);
        OffsetRect(&rect, origin.x, origin.y);
        OffsetRect(&client, origin.x, origin.y);
    }
    if (!PtInRect(&rect, screen)) return HTNOWHERE;
    if (PtInRect(&client, screen)) return HTCLIENT;
    return HTBORDER;
}

void boundSize(HWND handle, WINDOWPOS* pos) {
    if (!pos || (pos->flags & SWP_NOSIZE)) return;
    DWORD style = static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE));
    if (!(style & WS_THICKFRAME) && (style & (WS_POPUP | WS_CHILD))) return;
    MINMAXINFO limits = minMaxInfo(handle);
    pos->cx = std::max(std::min(pos->cx, static_cast<int>(limits.ptMaxTrackSize.x)),
                       static_cast<int>(limits.ptMinTrackSize.x));
    pos->cy = std::max(std::min(pos->cy, static_cast<int>(limits.ptMaxTrackSize.y)),
                       static_cast<int>(limits.ptMinTrackSize.y));
}

void positionChanged(HWND handle, const WINDOWPOS* pos) {
    if (!pos) return;
    RECT client{};
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return;
        client = window->client;
    }
    if (!(pos->flags & kSwpNoClientMove)) sendMessage(handle, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    if (!(pos->flags & kSwpNoClientSize))
        sendMessage(handle, WM_SIZE, SIZE_RESTORED,
                    MAKELPARAM(client.right - client.left, client.bottom - client.top));
}

}  // namespace

extern "C" LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE: {
        auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (create && create->lpszName) setText(window, create->lpszName);
        return TRUE;
    }
    case WM_NCCALCSIZE: return 0;
    case WM_SETTEXT:
        setText(window, reinterpret_cast<const char*>(lParam));
        return TRUE;
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0) return 0;
        auto lock = lockUser();
        Window* w = findWindowLocked(window);
        if (!w) return 0;
        size_t length = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
        std::memcpy(buffer, w->text.data(), length);
        buffer[length] = '\0';
        return static_cast<LRESULT>(length);
    }
    case WM_GETTEXTLENGTH: {
        auto lock = lockUser();
        Window* w = findWindowLocked(window);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        if (BeginPaint(window, &paint)) EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush = nullptr;
        {
            auto lock = lockUser();
            Window* w = findWindowLocked(window);
            if (w && w->windowClass) brush = w->windowClass->background;
        }
        if (!brush || !wParam) return 0;
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return 1;
    }
    case WM_NCHITTEST: return hitTest(window, pointFrom(lParam));
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCAPTION)
            sendMessage(window, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lParam);
        else if (wParam >= HTLEFT && wParam <= HTBOTTOMRIGHT)
            sendMessage(window, WM_SYSCOMMAND, SC_SIZE | (wParam - HTLEFT + WMSZ_LEFT), lParam);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MOVE:
        case SC_SIZE: runSizeMoveLoop(window, wParam); break;
        case SC_CLOSE: sendMessage(window, WM_CLOSE, 0, 0); break;
        default: break;
        }
        return 0;
    case WM_WINDOWPOSCHANGING: boundSize(window, reinterpret_cast<WINDOWPOS*>(lParam)); return 0;
    case WM_WINDOWPOSCHANGED: positionChanged(window, reinterpret_cast<const WINDOWPOS*>(lParam)); return 0;
    case WM_RBUTTONUP: {
        POINT point = pointFrom(lParam);
        ClientToScreen(window, &point);
        sendMessage(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(point.x, point.y));
        return 0;
    }
    case WM_NCRBUTTONUP:
        sendMessage(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), lParam);
        return 0;
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
        if (HWND parent = childParent(window)) return sendMessage(parent, message, wParam, lParam);
        return 0;
    case WM_MOUSEACTIVATE: {
        if (HWND parent = childParent(window)) {
            LRESULT answer = sendMessage(parent, message, wParam, lParam);
            if (answer) return answer;
        }
        DWORD exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
        return (exStyle & WS_EX_NOACTIVATE) ? MA_NOACTIVATE : MA_ACTIVATE;
    }
    case WM_NCACTIVATE: return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) setFocusWindow(window);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (static_cast<DWORD>(lParam) & (1u << 29))) {
            HWND top = nullptr;
            {
                auto lock = lockUser();
                top = topLevelOfLocked(window);
            }
            if (top) PostMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    default: return 0;
    }
}
