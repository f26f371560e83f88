// Update regions and the device contexts of windows.
//
// Provides: InvalidateRect, ValidateRect, GetUpdateRect, UpdateWindow,
// BeginPaint, EndPaint, GetDC, ReleaseDC.
//
// Promises: InvalidateRect may be called from any thread; invalidations
// gather into one update region per window (kept as its bounding
// rectangle, clipped to the client area) and give one WM_PAINT, made when
// the owner thread's queue is otherwise empty, waking a GetMessageA that
// waits. A hidden window collects nothing (showing a window invalidates all
// of it). Invalidating a window without WS_CLIPCHILDREN invalidates the
// covered parts of its children too. BeginPaint reports the update
// rectangle in rcPaint, sends WM_ERASEBKGND first when an invalidation asked
// for erasing (fErase is then TRUE when the window did not erase), validates
// the window, and returns a DC that draws on the window's pixels; EndPaint
// and ReleaseDC delete the DC and show the drawing. GetDC(NULL) draws on the
// desktop behind all windows. UpdateWindow sends WM_PAINT at once when the
// window (then each child) has an update region. ValidateRect with a
// rectangle validates only when the rectangle covers the whole update region.
#include <windows.h>

#include "user/window_manager.h"

using namespace subset::user;

namespace {

RECT clientArea(const Window& window) {
    return RECT{0, 0, window.client.right - window.client.left, window.client.bottom - window.client.top};
}

bool findPaintInTreeLocked(HWND handle, ThreadQueue& queue, HWND filter, UINT filterMin, UINT filterMax,
                           MSG& message) {
    Window* window = findWindowLocked(handle);
    if (!window || !(window->style & WS_VISIBLE)) return false;
    if (window->updatePending && window->queue.get() == &queue &&
        matchesFilterLocked(handle, WM_PAINT, filter, filterMin, filterMax)) {
        message = MSG{handle, WM_PAINT, 0, 0, tickNow(), cursorLocked()};
        return true;
    }
    for (HWND child : window->children)
        if (findPaintInTreeLocked(child, queue, filter, filterMin, filterMax, message)) return true;
    return false;
}

}  // namespace

namespace subset::user {

void invalidateLocked(Window& window, const RECT* rect, bool erase) {
    if (!isVisibleLocked(window)) return;
    RECT area = clientArea(window);
    if (rect && !IntersectRect(&area, &area, rect)) return;
    if (IsRectEmpty(&area)) return;
    if (window.updatePending)
        UnionRect(&window.update, &window.update, &area);
    else
        window.update = area;
    window.updatePending = true;
    if (erase) window.eraseNeeded = true;
    if (!(window.style & WS_CLIPCHILDREN)) {
        for (HWND handle : window.children) {
            Window* child = findWindowLocked(handle);
            if (!child) continue;
            RECT covered = area;
            OffsetRect(&covered, -child->client.left, -child->client.top);
            invalidateLocked(*child, &covered, erase);
        }
    }
    wakeQueueSoonLocked(window.queue);
}

bool findPaintMessageLocked(ThreadQueue& queue, HWND filter, UINT filterMin, UINT filterMax, MSG& message) {
    for (HWND handle : state().topLevel)
        if (findPaintInTreeLocked(handle, queue, filter, filterMin, filterMax, message)) return true;
    return false;
}

void eraseNow(HWND handle) {
    std::shared_ptr<subset::Surface> surface;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window || !window->eraseNeeded || !isVisibleLocked(*window)) return;
        window->eraseNeeded = false;
        surface = window->surface;
    }
    HDC dc = subset::createSurfaceDC(surface);
    LRESULT erased = sendMessage(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    subset::deleteSurfaceDC(dc);
    auto lock = lockUser();
    if (Window* window = findWindowLocked(handle)) window->eraseFailed = erased == 0;
}

}  // namespace subset::user

extern "C" {

BOOL WINAPI InvalidateRect(HWND handle, const RECT* rect, BOOL erase) {
    // Called from other threads many times a second (a recording's frames):
    // the painting thread is woken once the lock is free.
    WakesAfterUnlock wakes;
    auto lock = lockUser();
    if (!handle) {
        // The desktop: every window is repainted.
        for (HWND top : state().topLevel)
            if (Window* window = findWindowLocked(top)) invalidateLocked(*window, nullptr, erase);
        return TRUE;
    }
    Window* window = findWindowLocked(handle);
    if (!window) return FALSE;
    invalidateLocked(*window, rect, erase != FALSE);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND handle, const RECT* rect) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return FALSE;
    if (!window->updatePending) return TRUE;
    RECT covered{};
    if (!rect || (UnionRect(&covered, rect, &window->update) && EqualRect(&covered, rect))) {
        window->updatePending = false;
        window->update = RECT{};
        window->eraseNeeded = false;
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND handle, LPRECT rect, BOOL erase) {
    bool pending = false, eraseFirst = false;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return FALSE;
        pending = window->updatePending;
        eraseFirst = erase && window->eraseNeeded;
        if (rect) *rect = pending ? window->update : RECT{};
    }
    if (eraseFirst) eraseNow(handle);
    return pending;
}

BOOL WINAPI UpdateWindow(HWND handle) {
    bool paint = false;
    std::vector<HWND> children;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return FALSE;
        paint = window->updatePending && isVisibleLocked(*window);
        children = window->children;
    }
    if (paint) sendMessage(handle, WM_PAINT, 0, 0);
    for (HWND child : children) UpdateWindow(child);
    return TRUE;
}

HDC WINAPI BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
    if (!paint) return nullptr;
    RECT area{};
    bool sendErase = false, eraseFailed = false;
    std::shared_ptr<subset::Surface> surface;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return nullptr;
        if (window->updatePending) area = window->update;
        sendErase = window->eraseNeeded;
        eraseFailed = window->eraseFailed;
        window->updatePending = false;
        window->update = RECT{};
        window->eraseNeeded = false;
        window->eraseFailed = false;
        surface = window->surface;
    }
    HDC dc = subset::createSurfaceDC(surface);
    if (!dc) return nullptr;
    {
        auto lock = lockUser();
        state().windowDCs[dc] = handle;
    }
    BOOL erase = eraseFailed;
    if (sendErase) erase = sendMessage(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    *paint = PAINTSTRUCT{};
    paint->hdc = dc;
    paint->fErase = erase;
    paint->rcPaint = area;
    return dc;
}

BOOL WINAPI EndPaint(HWND handle, const PAINTSTRUCT* paint) {
    if (!paint || !paint->hdc) return FALSE;
    {
        auto lock = lockUser();
        auto found = state().windowDCs.find(paint->hdc);
        if (found == state().windowDCs.end()) return FALSE;
        state().windowDCs.erase(found);
    }
    subset::deleteSurfaceDC(paint->hdc);
    presentWindow(handle, paint->rcPaint);
    return TRUE;
}

HDC WINAPI GetDC(HWND handle) {
    handle = orDesktopAsNone(handle);
    std::shared_ptr<subset::Surface> surface;
    {
        auto lock = lockUser();
        if (!handle) {
            auto& desktop = state().desktop;
            if (!desktop) {
                desktop = std::make_shared<subset::Surface>();
                SIZE screen = screenSizeLocked();
                desktop->resize(screen.cx, screen.cy);
            }
            surface = desktop;
        } else {
            Window* window = findWindowLocked(handle);
            if (!window) return nullptr;
            surface = window->surface;
        }
    }
    HDC dc = subset::createSurfaceDC(surface);
    if (!dc) return nullptr;
    auto lock = lockUser();
    state().windowDCs[dc] = handle;
    return dc;
}

int WINAPI ReleaseDC(HWND handle, HDC dc) {
    handle = orDesktopAsNone(handle);
    {
        auto lock = lockUser();
        auto found = state().windowDCs.find(dc);
        if (found == state().windowDCs.end() || found->second != handle) return 0;
        state().windowDCs.erase(found);
    }
    subset::deleteSurfaceDC(dc);
    if (handle) {
        RECT all{0, 0, 32767, 32767};
        presentWindow(handle, all);
    }
    return 1;
}

}  // extern "C"
