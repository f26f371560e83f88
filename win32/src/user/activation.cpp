// The active window and the keyboard focus.
//
// Provides: SetForegroundWindow, GetForegroundWindow, GetActiveWindow,
// SetFocus, GetFocus.
//
// Promises the real order when a top-level window becomes active: the
// window losing activation gets WM_NCACTIVATE(FALSE) and
// WM_ACTIVATE(WA_INACTIVE); the new one is brought to the top of its group
// (SetWindowPos with SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE, unless the
// activation comes from a SetWindowPos that placed it there); when
// activation moves between threads (or from none) every top-level window of
// the thread losing it gets WM_ACTIVATEAPP(FALSE) and every top-level window
// of the thread gaining it WM_ACTIVATEAPP(TRUE); then the new window gets
// WM_NCACTIVATE(TRUE) and WM_ACTIVATE(WA_ACTIVE or WA_CLICKACTIVE), whose
// default handling gives it the focus (WM_KILLFOCUS to the old focus, then
// WM_SETFOCUS). The focus never stays in a window outside the active one.
// Activation is process-wide here: the foreground window is the active one.
#include <windows.h>

#include "user/window_manager.h"

using namespace subset::user;

namespace {

std::vector<HWND> topLevelWindowsOfLocked(const ThreadQueue* queue) {
    std::vector<HWND> windows;
    for (HWND handle : state().topLevel) {
        Window* window = findWindowLocked(handle);
        if (window && window->queue.get() == queue && !window->destroying) windows.push_back(handle);
    }
    return windows;
}

}  // namespace

namespace subset::user {

void setFocusWindow(HWND handle) {
    HWND previous = nullptr;
    {
        auto lock = lockUser();
        previous = state().focus;
        if (previous == handle) return;
        if (handle && !findWindowLocked(handle)) return;
        state().focus = handle;
    }
    if (previous && IsWindow(previous)) sendMessage(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
    if (handle && IsWindow(handle)) sendMessage(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
}

void activateWindow(HWND handle, WORD how, bool bringToTop) {
    HWND previous = nullptr;
    std::shared_ptr<ThreadQueue> previousQueue, newQueue;
    {
        auto lock = lockUser();
        handle = handle ? topLevelOfLocked(handle) : nullptr;
        previous = state().active;
        if (previous == handle) return;
        if (Window* old = findWindowLocked(previous)) previousQueue = old->queue;
        if (Window* now = findWindowLocked(handle)) {
            if (now->destroying) return;
            newQueue = now->queue;
        }
    }
    if (previous && IsWindow(previous)) {
        sendMessage(previous, WM_NCACTIVATE, FALSE, reinterpret_cast<LPARAM>(handle));
        sendMessage(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(handle));
    }
    {
        auto lock = lockUser();
        if (handle && !findWindowLocked(handle)) return;
        state().active = handle;
    }
    if (handle && bringToTop) setWindowPos(handle, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);

    if (previousQueue != newQueue) {
        std::vector<HWND> losing, gaining;
        DWORD previousThread = previousQueue ? previousQueue->threadId : 0;
        DWORD newThread = newQueue ? newQueue->threadId : 0;
        {
            auto lock = lockUser();
            if (previousQueue) losing = topLevelWindowsOfLocked(previousQueue.get());
            if (newQueue) gaining = topLevelWindowsOfLocked(newQueue.get());
        }
        for (HWND window : losing) sendMessage(window, WM_ACTIVATEAPP, FALSE, static_cast<LPARAM>(newThread));
        for (HWND window : gaining) sendMessage(window, WM_ACTIVATEAPP, TRUE, static_cast<LPARAM>(previousThread));
    }

    if (handle && IsWindow(handle)) {
        sendMessage(handle, WM_NCACTIVATE, TRUE, reinterpret_cast<LPARAM>(previous));
        sendMessage(handle, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(previous));
    }
    bool stray = false;
    {
        auto lock = lockUser();
        HWND focus = state().focus, active = state().active;
        stray = focus && (!active || !isDescendantLocked(focus, active));
    }
    if (stray) setFocusWindow(nullptr);
}

void activateOtherWindow(HWND leaving) {
    HWND next = nullptr;
    {
        auto lock = lockUser();
        for (HWND handle : state().topLevel) {
            Window* window = findWindowLocked(handle);
            if (!window || handle == leaving || window->destroying || !isVisibleLocked(*window)) continue;
            if (window->exStyle & WS_EX_NOACTIVATE) continue;
            next = handle;
            break;
        }
    }
    activateWindow(next, WA_ACTIVE);
}

}  // namespace subset::user

extern "C" {

BOOL WINAPI SetForegroundWindow(HWND window) {
    if (!IsWindow(window)) return FALSE;
    activateWindow(window, WA_ACTIVE);
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) {
    auto lock = lockUser();
    return state().active;
}

HWND WINAPI GetActiveWindow(void) {
    auto lock = lockUser();
    return state().active;
}

HWND WINAPI SetFocus(HWND window) {
    HWND previous = nullptr;
    HWND top = nullptr;
    {
        auto lock = lockUser();
        previous = state().focus;
        if (window) {
            if (!findWindowLocked(window)) return nullptr;
            top = topLevelOfLocked(window);
            if (state().active == top) top = nullptr;  // already active
        }
    }
    if (top) activateWindow(top, WA_ACTIVE);
    setFocusWindow(window);
    return previous;
}

HWND WINAPI GetFocus(void) {
    auto lock = lockUser();
    return state().focus;
}

}  // extern "C"
