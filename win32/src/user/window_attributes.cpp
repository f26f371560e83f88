// What a window is: its styles, words, text, parent and layered attributes.
//
// Provides: GetWindowLongA, SetWindowLongA, GetWindowLongPtrA,
// SetWindowLongPtrA, SetWindowTextA, GetWindowTextA, FindWindowA, GetParent,
// SetParent, SetLayeredWindowAttributes, GetLayeredWindowAttributes.
//
// Promises: setting GWL_STYLE or GWL_EXSTYLE sends WM_STYLECHANGING (whose
// procedure may change the new value) and WM_STYLECHANGED, and returns the
// old value; WS_EX_TOPMOST changes only through SetWindowPos; clearing
// WS_EX_LAYERED forgets the layered attributes, and a layered window shows
// nothing until SetLayeredWindowAttributes has been called (which fails on a
// window without WS_EX_LAYERED; GetLayeredWindowAttributes fails until then).
// GWLP_WNDPROC, GWLP_HINSTANCE, GWLP_ID, GWLP_USERDATA and the class's extra
// window bytes (cbWndExtra, at offsets from 0) are kept; other indices give 0.
// SetWindowTextA sends WM_SETTEXT, whose default handling keeps the text.
// GetParent gives a child's parent and a pop-up's owner, else NULL.
// SetParent keeps the window's coordinates relative to the new parent,
// hides and re-shows a visible window around the move, puts it on top of
// its new siblings and returns the old parent (GetDesktopWindow() for a
// top-level window; NULL with the window unchanged when the call fails,
// which a parent inside the window itself makes it do). The desktop as the
// new parent makes the window top-level. FindWindowA looks through
// top-level windows, top first, comparing class and title without regard to
// letter case; NULL matches any.
#include <windows.h>

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "user/window_manager.h"

using namespace subset::user;

namespace {

LONG_PTR readWord(HWND handle, int index, size_t size) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return 0;
    switch (index) {
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(window->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(window->exStyle));
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_ID: return static_cast<LONG_PTR>(window->id);
    case GWLP_USERDATA: return window->userData;
    default: break;
    }
    if (index < 0 || static_cast<size_t>(index) + size > window->extra.size()) return 0;
    if (size == sizeof(LONG)) {
        LONG value = 0;
        std::memcpy(&value, window->extra.data() + index, sizeof value);
        return value;
    }
    LONG_PTR value = 0;
    std::memcpy(&value, window->extra.data() + index, sizeof value);
    return value;
}

LONG_PTR changeStyle(HWND handle, int index, DWORD newValue) {
    STYLESTRUCT change{};
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return 0;
        change.styleOld = index == GWL_STYLE ? window->style : window->exStyle;
        change.styleNew = newValue;
    }
    sendMessage(handle, WM_STYLECHANGING, static_cast<WPARAM>(static_cast<LONG_PTR>(index)),
                reinterpret_cast<LPARAM>(&change));
    DWORD old = 0;
    bool visibilityChanged = false;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return 0;
        DWORD value = change.styleNew;
        if (index == GWL_STYLE) {
            if (!window->parent) value |= WS_CLIPSIBLINGS;  // top-level windows always clip siblings
            old = window->style;
            window->style = value;
            visibilityChanged = ((old ^ value) & WS_VISIBLE) != 0;
            if (visibilityChanged && isVisibleLocked(*window)) invalidateLocked(*window, nullptr, true);
        } else {
            value = (value & ~static_cast<DWORD>(WS_EX_TOPMOST)) | (window->exStyle & WS_EX_TOPMOST);
            old = window->exStyle;
            window->exStyle = value;
            if (!(value & WS_EX_LAYERED)) window->layeredSet = false;
        }
        change.styleOld = old;
        change.styleNew = value;
    }
    syncNativeWindow(handle);
    sendMessage(handle, WM_STYLECHANGED, static_cast<WPARAM>(static_cast<LONG_PTR>(index)),
                reinterpret_cast<LPARAM>(&change));
    return static_cast<LONG_PTR>(static_cast<LONG>(old));
}

LONG_PTR writeWord(HWND handle, int index, LONG_PTR value, size_t size) {
    if (index == GWL_STYLE || index == GWL_EXSTYLE) return changeStyle(handle, index, static_cast<DWORD>(value));
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return 0;
    LONG_PTR old = 0;
    switch (index) {
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(window->proc);
        if (value) window->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(window->instance);
        window->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWLP_ID:
        old = static_cast<LONG_PTR>(window->id);
        window->id = static_cast<UINT_PTR>(value);
        return old;
    case GWLP_USERDATA:
        old = window->userData;
        window->userData = value;
        return old;
    default: break;
    }
    if (index < 0 || static_cast<size_t>(index) + size > window->extra.size()) return 0;
    if (size == sizeof(LONG)) {
        LONG previous = 0, next = static_cast<LONG>(value);
        std::memcpy(&previous, window->extra.data() + index, sizeof previous);
        std::memcpy(window->extra.data() + index, &next, sizeof next);
        return previous;
    }
    std::memcpy(&old, window->extra.data() + index, sizeof old);
    std::memcpy(window->extra.data() + index, &value, sizeof value);
    return old;
}

}  // namespace

extern "C" {

LONG WINAPI GetWindowLongA(HWND window, int index) {
    return static_cast<LONG>(readWord(window, index, sizeof(LONG)));
}

LONG WINAPI SetWindowLongA(HWND window, int index, LONG value) {
    return static_cast<LONG>(writeWord(window, index, value, sizeof(LONG)));
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) { return readWord(window, index, sizeof(LONG_PTR)); }

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    return writeWord(window, index, value, sizeof(LONG_PTR));
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    if (!IsWindow(window)) return FALSE;
    return sendMessage(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) != 0;
}

int WINAPI GetWindowTextA(HWND handle, LPSTR text, int size) {
    if (!text || size <= 0) return 0;
    text[0] = '\0';
    bool ownThread = false;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return 0;
        ownThread = isCurrentThread(*window);
        if (!ownThread) {
            // Another thread's window: its text is read directly, as the real
            // system does, so that the caller never waits on that thread.
            size_t length = std::min(window->text.size(), static_cast<size_t>(size - 1));
            std::memcpy(text, window->text.data(), length);
            text[length] = '\0';
            return static_cast<int>(length);
        }
    }
    return static_cast<int>(
        sendMessage(handle, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    auto lock = lockUser();
    for (HWND handle : state().topLevel) {
        Window* window = findWindowLocked(handle);
        if (!window || window->destroying) continue;
        if (className && (!window->windowClass || strcasecmp(window->windowClass->name.c_str(), className) != 0))
            continue;
        if (windowName && strcasecmp(window->text.c_str(), windowName) != 0) continue;
        return handle;
    }
    return nullptr;
}

HWND WINAPI GetParent(HWND handle) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return nullptr;
    if (window->style & WS_POPUP) return window->owner;
    if (window->style & WS_CHILD) return window->parent;
    return nullptr;
}

HWND WINAPI GetDesktopWindow(void) { return desktopWindow(); }

HWND WINAPI SetParent(HWND handle, HWND newParent) {
    newParent = orDesktopAsNone(newParent);
    HWND oldParent = nullptr;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window || !isCurrentThread(*window) || window->messageOnly) return nullptr;
        if (newParent && (!findWindowLocked(newParent) || isDescendantLocked(newParent, handle))) return nullptr;
        oldParent = window->parent;
    }
    BOOL wasVisible = ShowWindow(handle, SW_HIDE);
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return nullptr;
        unlinkFromZOrderLocked(*window);
        window->parent = newParent;
        if (newParent) window->exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
        placeInZOrderLocked(*window, HWND_TOP);
    }
    syncNativeWindow(handle);
    syncNativeZOrder();
    DWORD exStyle = static_cast<DWORD>(GetWindowLongA(handle, GWL_EXSTYLE));
    setWindowPos(handle, (exStyle & WS_EX_TOPMOST) ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    if (wasVisible) ShowWindow(handle, SW_SHOW);
    return oldParent ? oldParent : desktopWindow();
}

BOOL WINAPI SetLayeredWindowAttributes(HWND handle, COLORREF key, BYTE alpha, DWORD flags) {
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window || !(window->exStyle & WS_EX_LAYERED)) return FALSE;
        window->layeredSet = true;
        window->layeredKey = key & 0x00FFFFFF;
        window->layeredAlpha = alpha;
        window->layeredFlags = flags & (LWA_COLORKEY | LWA_ALPHA);
    }
    syncNativeWindow(handle);
    return TRUE;
}

BOOL WINAPI GetLayeredWindowAttributes(HWND handle, COLORREF* key, BYTE* alpha, DWORD* flags) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window || !(window->exStyle & WS_EX_LAYERED) || !window->layeredSet) return FALSE;
    if (key) *key = window->layeredKey;
    if (alpha) *alpha = window->layeredAlpha;
    if (flags) *flags = window->layeredFlags;
    return TRUE;
}

}  // extern "C"
