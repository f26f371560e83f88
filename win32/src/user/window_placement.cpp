// Where windows are, how large, in which order, and whether they show.
//
// Provides: SetWindowPos, MoveWindow, ShowWindow, IsWindowVisible,
// GetWindowRect, GetClientRect, ScreenToClient, ClientToScreen.
//
// Promises the real SetWindowPos: WM_WINDOWPOSCHANGING first, with the
// caller's values and flags (the procedure may change them), SWP_NOSIZE and
// SWP_NOMOVE already added where the size or place stays (see below); then
// the other redundant flags are fixed up from what the record holds
// (z-order already right: SWP_NOZORDER; showing a visible window or hiding
// a hidden one: dropped; activating a top-level window brings it to the
// top, and a size or place that the window set back to the old one is
// marked too); then WM_NCCALCSIZE
// when the size changes, the change itself, activation unless
// SWP_NOACTIVATE, WM_ERASEBKGND for a window just shown, and
// WM_WINDOWPOSCHANGED with the values the window took and the fixed-up
// flags, unless nothing changed at all. SetWindowPos never sends WM_MOVE or
// WM_SIZE itself: only DefWindowProcA's handling of WM_WINDOWPOSCHANGED
// does. Top-most windows stay above the others; a top-most window placed
// after a window that is not top-most, or at the bottom, loses
// WS_EX_TOPMOST.
//
// ShowWindow sends WM_SHOWWINDOW only when the visibility changes (and always
// for SW_SHOWNA), then SetWindowPos with SWP_SHOWWINDOW or SWP_HIDEWINDOW
// (a child of a hidden parent only changes its style); SW_SHOW and
// SW_SHOWNORMAL activate a top-level window, SW_SHOWNA and
// SW_SHOWNOACTIVATE do not; hiding the active window activates the next
// visible one. It returns whether the window was visible before.
//
// Windows here have no non-client area of their own: frame and caption
// styles draw nothing and take no room, so the client rectangle is the
// window rectangle unless the procedure answers WM_NCCALCSIZE otherwise.
#include <windows.h>

#include <algorithm>
#include <optional>

#include "user/window_manager.h"

using namespace subset::user;

namespace subset::user {
namespace {

struct ZPlan {
    std::vector<HWND> order;
    bool topmost = false;
};

bool isTopmostLocked(HWND handle) {
    Window* window = findWindowLocked(handle);
    return window && (window->exStyle & WS_EX_TOPMOST);
}

ZPlan planZOrderLocked(const Window& window, HWND insertAfter) {
    ZPlan plan;
    std::vector<HWND>* siblings = siblingsLocked(window);
    if (!siblings) return plan;
    plan.order = *siblings;
    std::erase(plan.order, window.handle);
    bool topLevel = !window.parent;
    plan.topmost = topLevel && (window.exStyle & WS_EX_TOPMOST);
    size_t firstNormal = 0;
    if (topLevel)
        while (firstNormal < plan.order.size() && isTopmostLocked(plan.order[firstNormal])) ++firstNormal;

    size_t position = 0;
    if (insertAfter == HWND_TOPMOST) {
        plan.topmost = topLevel;
        position = 0;
    } else if (insertAfter == HWND_NOTOPMOST) {
        plan.topmost = false;
        position = firstNormal;
    } else if (insertAfter == HWND_TOP) {
        position = plan.topmost ? 0 : firstNormal;
    } else if (insertAfter == HWND_BOTTOM) {
        plan.topmost = false;
        position = plan.order.size();
    } else {
        auto found = std::find(plan.order.begin(), plan.order.end(), insertAfter);
        if (found == plan.order.end()) {
            position = plan.topmost ? 0 : firstNormal;
        } else {
            position = static_cast<size_t>(found - plan.order.begin()) + 1;
            if (topLevel) {
                if (plan.topmost && !isTopmostLocked(insertAfter)) plan.topmost = false;
                if (!plan.topmost) position = std::max(position, firstNormal);
            }
        }
    }
    plan.order.insert(plan.order.begin() + static_cast<ptrdiff_t>(position), window.handle);
    return plan;
}

bool zOrderUnchangedLocked(const Window& window, HWND insertAfter) {
    std::vector<HWND>* siblings = siblingsLocked(window);
    if (!siblings) return true;
    ZPlan plan = planZOrderLocked(window, insertAfter);
    bool topmost = !window.parent && (window.exStyle & WS_EX_TOPMOST);
    return plan.order == *siblings && plan.topmost == topmost;
}

void invalidateTreeLocked(Window& window) {
    invalidateLocked(window, nullptr, true);
    for (HWND child : window.children)
        if (Window* c = findWindowLocked(child); c && (c->style & WS_VISIBLE)) invalidateTreeLocked(*c);
}

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

void placeInZOrderLocked(Window& window, HWND insertAfter) {
    std::vector<HWND>* siblings = siblingsLocked(window);
    if (!siblings) return;
    ZPlan plan = planZOrderLocked(window, insertAfter);
    *siblings = std::move(plan.order);
    if (!window.parent) {
        if (plan.topmost)
            window.exStyle |= WS_EX_TOPMOST;
        else
            window.exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
    }
}

void unlinkFromZOrderLocked(Window& window) {
    if (std::vector<HWND>* siblings = siblingsLocked(window)) std::erase(*siblings, window.handle);
}

MINMAXINFO minMaxInfo(HWND handle) {
    MINMAXINFO info{};
    DWORD style = 0;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return info;
        style = window->style;
        info.ptReserved = POINT{window->rect.left, window->rect.top};
        SIZE area = screenSizeLocked();
        if (window->parent) {
            if (Window* parent = findWindowLocked(window->parent))
                area = SIZE{width(parent->client), height(parent->client)};
        }
        info.ptMaxSize = POINT{area.cx, area.cy};
    }
    info.ptMaxPosition = POINT{0, 0};
    if (style & (WS_DLGFRAME | WS_BORDER))
        info.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    else
        info.ptMinTrackSize = POINT{0, 0};  // twice a frame that these windows do not have
    info.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    sendMessage(handle, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

namespace {

// The caller's request as the window is asked about it, with the window's
// place before the change.
struct PlacementRequest {
    WINDOWPOS pos;
    RECT oldRect;
    RECT oldClient;
    bool topLevel;
};

// What applying the change did, for the presentation that follows.
struct PlacementDone {
    bool shown = false, hidden = false, zChanged = false;
    HWND top = nullptr;
};

// The request within the coordinates' range, a place or size that does not
// change already marked. Nothing when there is no such window.
std::optional<PlacementRequest> takeRequest(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return std::nullopt;
    if (!(flags & SWP_NOMOVE)) {
        x = std::clamp(x, -32768, 32767);
        y = std::clamp(y, -32768, 32767);
    }
    if (!(flags & SWP_NOSIZE)) {
        cx = std::clamp(cx, 0, 32767);
        cy = std::clamp(cy, 0, 32767);
    }
    const RECT oldRect = window->rect;
    // A place or size that does not change is marked before the window is
    // asked, so that a procedure that adjusts the place in
    // WM_WINDOWPOSCHANGING (the host's edge snapping does) leaves a window
    // alone that the caller did not move. Wine marks them only afterwards; a
    // window 10 pixels from an edge would then snap whenever the plug-in
    // re-applies its state.
    if (!(flags & SWP_NOSIZE) && width(oldRect) == cx && height(oldRect) == cy) flags |= SWP_NOSIZE;
    if (!(flags & SWP_NOMOVE) && oldRect.left == x && oldRect.top == y) flags |= SWP_NOMOVE;
    return PlacementRequest{WINDOWPOS{handle, insertAfter, x, y, cx, cy, flags}, oldRect, window->client,
                            !window->parent};
}

// The other redundant flags are fixed up after the window was asked, from
// what it left in the record, as the real system does. False when the
// window is gone.
bool fixFlagsAfterAsking(HWND handle, WINDOWPOS& pos, const RECT& oldRect) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return false;
    UINT fixed = pos.flags;
    if (window->style & WS_VISIBLE) {
        fixed &= ~static_cast<UINT>(SWP_SHOWWINDOW);
    } else {
        fixed &= ~static_cast<UINT>(SWP_HIDEWINDOW);
        if (!(fixed & SWP_SHOWWINDOW)) fixed |= SWP_NOREDRAW;
    }
    if (!(fixed & SWP_NOSIZE) && width(oldRect) == pos.cx && height(oldRect) == pos.cy) fixed |= SWP_NOSIZE;
    if (!(fixed & SWP_NOMOVE) && oldRect.left == pos.x && oldRect.top == pos.y) fixed |= SWP_NOMOVE;
    if ((window->style & (WS_POPUP | WS_CHILD)) != WS_CHILD) {
        // Activating a top-level window brings it to the top.
        if (!(fixed & (SWP_NOACTIVATE | SWP_HIDEWINDOW)) &&
            ((fixed & SWP_NOZORDER) ||
             (pos.hwndInsertAfter != HWND_TOPMOST && pos.hwndInsertAfter != HWND_NOTOPMOST))) {
            fixed &= ~static_cast<UINT>(SWP_NOZORDER);
            pos.hwndInsertAfter = HWND_TOP;
        }
    }
    if (!(fixed & SWP_NOZORDER) && zOrderUnchangedLocked(*window, pos.hwndInsertAfter)) fixed |= SWP_NOZORDER;
    pos.flags = fixed;
    return true;
}

RECT newWindowRect(const WINDOWPOS& pos, const RECT& oldRect) {
    RECT newRect = oldRect;
    if (!(pos.flags & SWP_NOMOVE)) OffsetRect(&newRect, pos.x - oldRect.left, pos.y - oldRect.top);
    if (!(pos.flags & SWP_NOSIZE)) {
        newRect.right = newRect.left + std::max(pos.cx, 0);
        newRect.bottom = newRect.top + std::max(pos.cy, 0);
    }
    return newRect;
}

// The client area keeps its margins inside the window unless the window
// answers WM_NCCALCSIZE otherwise (asked when the size or frame changes);
// the record's client flags say whether it moved or changed size.
RECT newClientRect(HWND handle, WINDOWPOS& pos, const RECT& newRect, const RECT& oldRect, const RECT& oldClient) {
    RECT newClient = oldClient;
    OffsetRect(&newClient, newRect.left - oldRect.left, newRect.top - oldRect.top);
    newClient.right += width(newRect) - width(oldRect);
    newClient.bottom += height(newRect) - height(oldRect);
    if ((pos.flags & (SWP_FRAMECHANGED | SWP_NOSIZE)) != SWP_NOSIZE) {
        WINDOWPOS copy = pos;
        NCCALCSIZE_PARAMS params{};
        params.rgrc[0] = newRect;
        params.rgrc[1] = oldRect;
        params.rgrc[2] = oldClient;
        params.lppos = &copy;
        sendMessage(handle, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
        newClient = params.rgrc[0];
    }
    newClient.right = std::max(newClient.right, newClient.left);
    newClient.bottom = std::max(newClient.bottom, newClient.top);
    pos.flags |= kSwpNoClientMove | kSwpNoClientSize;
    if (newClient.left != oldClient.left || newClient.top != oldClient.top) pos.flags &= ~kSwpNoClientMove;
    if (width(newClient) != width(oldClient) || height(newClient) != height(oldClient))
        pos.flags &= ~kSwpNoClientSize;
    return newClient;
}

// After a resize that is not redrawn whole (CS_HREDRAW / CS_VREDRAW), only
// the part that the old size did not cover is new.
void invalidateResizedLocked(Window& window, SIZE oldSize, SIZE newSize) {
    UINT classStyle = window.windowClass ? window.windowClass->style : 0;
    bool whole = ((classStyle & CS_HREDRAW) && oldSize.cx != newSize.cx) ||
                 ((classStyle & CS_VREDRAW) && oldSize.cy != newSize.cy);
    if (whole) {
        invalidateLocked(window, nullptr, true);
        return;
    }
    if (newSize.cx > oldSize.cx) {
        RECT strip{oldSize.cx, 0, newSize.cx, newSize.cy};
        invalidateLocked(window, &strip, true);
    }
    if (newSize.cy > oldSize.cy) {
        RECT strip{0, oldSize.cy, newSize.cx, newSize.cy};
        invalidateLocked(window, &strip, true);
    }
}

// The new place, size, stacking and visibility into the window's record,
// and what they leave to be painted. Nothing when the window is gone.
std::optional<PlacementDone> applyPlacement(HWND handle, const WINDOWPOS& pos, const RECT& newRect,
                                            const RECT& newClient, const RECT& oldClient) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return std::nullopt;
    PlacementDone done;
    window->rect = newRect;
    window->client = newClient;
    if (!(pos.flags & SWP_NOZORDER)) {
        placeInZOrderLocked(*window, pos.hwndInsertAfter);
        done.zChanged = true;
    }
    const SIZE oldSize{width(oldClient), height(oldClient)};
    const SIZE newSize{width(newClient), height(newClient)};
    const bool resized = oldSize.cx != newSize.cx || oldSize.cy != newSize.cy;
    if (resized) window->surface->resize(newSize.cx, newSize.cy);
    if ((pos.flags & SWP_SHOWWINDOW) && !(window->style & WS_VISIBLE)) {
        window->style |= WS_VISIBLE;
        done.shown = true;
    }
    if ((pos.flags & SWP_HIDEWINDOW) && (window->style & WS_VISIBLE)) {
        window->style &= ~static_cast<DWORD>(WS_VISIBLE);
        done.hidden = true;
    }
    if (done.shown && isVisibleLocked(*window))
        invalidateTreeLocked(*window);
    else if (!(pos.flags & SWP_NOREDRAW) && isVisibleLocked(*window) && resized)
        invalidateResizedLocked(*window, oldSize, newSize);
    done.top = topLevelOfLocked(handle);
    return done;
}

// A top-level window's change goes to the display's own window; a child's
// shows through its top-level window.
void presentPlacement(HWND handle, bool topLevel, UINT flags, const PlacementDone& done) {
    constexpr UINT kUnchanged = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
    if (topLevel) {
        syncNativeWindow(handle);
        if (done.zChanged) syncNativeZOrder();
    } else if (done.top && ((flags & kUnchanged) != kUnchanged || done.shown || done.hidden)) {
        RECT all{0, 0, 32767, 32767};
        presentWindow(done.top, all);
    }
}

void activateAfterPlacement(HWND handle, UINT flags) {
    if (flags & (SWP_NOACTIVATE | SWP_HIDEWINDOW)) return;
    bool child = false;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        child = window && (window->style & (WS_CHILD | WS_POPUP)) == WS_CHILD;
    }
    if (child)
        sendMessage(handle, WM_CHILDACTIVATE, 0, 0);
    else
        activateWindow(handle, WA_ACTIVE, false);  // already placed on top above
}

// WM_WINDOWPOSCHANGED with the window's new place, when anything changed.
void reportPlacement(HWND handle, WINDOWPOS pos, const RECT& newRect) {
    constexpr UINT noChange = SWP_NOSIZE | SWP_NOMOVE | kSwpNoClientSize | kSwpNoClientMove | SWP_NOZORDER;
    constexpr UINT status = noChange | SWP_FRAMECHANGED | SWP_HIDEWINDOW | SWP_SHOWWINDOW;
    if ((pos.flags & status) == noChange || !IsWindow(handle)) return;
    pos.x = newRect.left;
    pos.y = newRect.top;
    pos.cx = width(newRect);
    pos.cy = height(newRect);
    sendMessage(handle, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

}  // namespace

BOOL setWindowPos(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    std::optional<PlacementRequest> request = takeRequest(handle, insertAfter, x, y, cx, cy, flags);
    if (!request) return FALSE;
    WINDOWPOS& pos = request->pos;
    if (!(pos.flags & SWP_NOSENDCHANGING)) sendMessage(handle, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (!fixFlagsAfterAsking(handle, pos, request->oldRect)) return FALSE;
    const RECT newRect = newWindowRect(pos, request->oldRect);
    const RECT newClient = newClientRect(handle, pos, newRect, request->oldRect, request->oldClient);
    const std::optional<PlacementDone> done = applyPlacement(handle, pos, newRect, newClient, request->oldClient);
    if (!done) return FALSE;
    presentPlacement(handle, request->topLevel, pos.flags, *done);
    activateAfterPlacement(handle, pos.flags);
    if (done->shown && !(pos.flags & SWP_DEFERERASE)) eraseNow(handle);
    reportPlacement(handle, pos, newRect);
    return TRUE;
}

}  // namespace subset::user

extern "C" {

BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return setWindowPos(window, insertAfter, x, y, cx, cy, flags);
}

BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW);
    return setWindowPos(window, nullptr, x, y, width, height, flags);
}

BOOL WINAPI ShowWindow(HWND handle, int command) {
    bool wasVisible = false, child = false;
    RECT rect{};
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return FALSE;
        wasVisible = (window->style & WS_VISIBLE) != 0;
        child = (window->style & WS_CHILD) != 0;
        rect = window->rect;
    }
    UINT flags = 0;
    switch (command) {
    case SW_HIDE:
        if (!wasVisible) return FALSE;
        flags = SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE;
        if (child) flags |= SWP_NOACTIVATE | SWP_NOZORDER;
        break;
    case SW_SHOWNA:
        flags = SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
        if (child) flags |= SWP_NOZORDER;
        break;
    case SW_SHOW:
        if (wasVisible) return TRUE;
        flags = SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE;
        if (child) flags |= SWP_NOACTIVATE | SWP_NOZORDER;
        break;
    case SW_SHOWNOACTIVATE:
        flags = SWP_NOACTIVATE | SWP_NOZORDER;
        [[fallthrough]];
    default:  // SW_SHOWNORMAL, SW_RESTORE and the others: these windows are never minimised or maximised
        if (wasVisible) return TRUE;
        flags |= SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE;
        if (child) flags |= SWP_NOACTIVATE | SWP_NOZORDER;
        break;
    }
    bool show = command != SW_HIDE;
    if (show != wasVisible || command == SW_SHOWNA) {
        sendMessage(handle, WM_SHOWWINDOW, show, 0);
        if (!IsWindow(handle)) return wasVisible;
    }
    bool parentHidden = false;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return wasVisible;
        Window* parent = window->parent ? findWindowLocked(window->parent) : nullptr;
        parentHidden = parent && !isVisibleLocked(*parent);
        if (parentHidden) {
            // Nothing of it can show: only the style changes.
            if (show)
                window->style |= WS_VISIBLE;
            else
                window->style &= ~static_cast<DWORD>(WS_VISIBLE);
        }
    }
    if (!parentHidden)
        setWindowPos(handle, HWND_TOP, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, flags);
    if (command == SW_HIDE) {
        HWND active = nullptr;
        {
            auto lock = lockUser();
            active = state().active;
        }
        if (active == handle) activateOtherWindow(handle);
        // The focus leaves a hidden window for its parent (none for a top-level window).
        HWND parent = nullptr;
        bool focusInside = false;
        {
            auto lock = lockUser();
            if (Window* window = findWindowLocked(handle)) parent = window->parent;
            focusInside = state().focus && isDescendantLocked(state().focus, handle);
        }
        if (focusInside) setFocusWindow(parent);
    }
    return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND handle) {
    if (handle == desktopWindow()) return TRUE;
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    return window && isVisibleLocked(*window);
}

// The desktop's rectangle is the screen.
static bool desktopRect(HWND handle, LPRECT rect) {
    if (handle != desktopWindow()) return false;
    SIZE screen = displayBackend().screenSize();
    *rect = RECT{0, 0, screen.cx, screen.cy};
    return true;
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect) {
    if (!rect) return FALSE;
    if (desktopRect(handle, rect)) return TRUE;
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return FALSE;
    *rect = window->rect;
    if (window->parent) {
        if (Window* parent = findWindowLocked(window->parent)) {
            POINT origin = clientOriginOnScreenLocked(*parent);
            OffsetRect(rect, origin.x, origin.y);
        }
    }
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
    if (!rect) return FALSE;
    if (desktopRect(handle, rect)) return TRUE;
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return FALSE;
    *rect = RECT{0, 0, window->client.right - window->client.left, window->client.bottom - window->client.top};
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND handle, LPPOINT point) {
    if (!point) return FALSE;
    if (handle == desktopWindow()) return TRUE;
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return FALSE;
    POINT origin = clientOriginOnScreenLocked(*window);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND handle, LPPOINT point) {
    if (!point) return FALSE;
    if (handle == desktopWindow()) return TRUE;
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return FALSE;
    POINT origin = clientOriginOnScreenLocked(*window);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

}  // extern "C"
