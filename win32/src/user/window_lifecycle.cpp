// Making and destroying windows.
//
// Provides: CreateWindowExA, DestroyWindow, IsWindow.
//
// Promises the real message order. CreateWindowExA: WM_GETMINMAXINFO (only
// for windows with WS_THICKFRAME or overlapped windows, whose size it then
// bounds), WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE,
// WM_PARENTNOTIFY to the parent of a child window, then, for WS_VISIBLE,
// ShowWindow(SW_SHOW) with its own messages. The window is created hidden:
// WS_VISIBLE is not set while WM_CREATE runs. A WM_NCCREATE answered FALSE or
// a WM_CREATE answered -1 fails the creation; the window then only gets
// WM_NCDESTROY. New top-level windows go on top of their group (top-most or
// not), new child windows below their siblings. A WS_POPUP window created
// with a parent is owned by that parent's top-level window and stays
// top-level. Placement CW_USEDEFAULT gives (0, 0); a CW_USEDEFAULT size gives
// 0 by 0 for pop-up and child windows and three quarters of the screen for an
// overlapped window.
//
// DestroyWindow (on the owner thread only): WM_PARENTNOTIFY for a child,
// hides a visible window, destroys the windows it owns, moves activation and
// focus away, releases the capture, then WM_DESTROY to the window and then to
// each of its children (parents first), then WM_NCDESTROY to the children and
// then to the window (children first). The handle is dead afterwards; timers
// and queued messages of the window are dropped.
#include <windows.h>

#include <algorithm>

#include "user/window_manager.h"

using namespace subset::user;

namespace subset::user {

void sendParentNotify(HWND handle, UINT event) {
    HWND parent = nullptr;
    UINT_PTR id = 0;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window || (window->style & (WS_CHILD | WS_POPUP)) != WS_CHILD) return;
        if ((window->exStyle & WS_EX_NOPARENTNOTIFY) || !window->parent) return;
        parent = window->parent;
        id = window->id;
    }
    sendMessage(parent, WM_PARENTNOTIFY, MAKEWPARAM(event, id), reinterpret_cast<LPARAM>(handle));
}

void destroyWindowStorage(HWND handle) {
    std::vector<HWND> children;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return;
        window->destroying = true;
        children = window->children;
    }
    for (HWND child : children) destroyWindowStorage(child);
    sendMessage(handle, WM_NCDESTROY, 0, 0);

    void* native = nullptr;
    {
        auto lock = lockUser();
        auto window = findWindowSharedLocked(handle);
        if (!window) return;
        auto& user = state();
        // Anything still hanging below (a child added during WM_NCDESTROY) goes too.
        for (HWND child : window->children)
            if (Window* orphan = findWindowLocked(child)) orphan->parent = nullptr;
        unlinkFromZOrderLocked(*window);
        ThreadQueue& queue = *window->queue;
        std::erase_if(queue.timers, [&](const Timer& t) { return t.window == handle; });
        std::erase_if(queue.posted, [&](const MSG& m) { return m.hwnd == handle; });
        std::erase_if(queue.input, [&](const InputRecord& r) { return r.keyTarget == handle; });
        if (user.active == handle) user.active = nullptr;
        if (user.focus == handle) user.focus = nullptr;
        if (user.capture == handle) user.capture = nullptr;
        if (user.lastClickWindow == handle) user.lastClickWindow = nullptr;
        for (auto& [other, topWindow] : user.windows)
            if (topWindow->owner == handle) topWindow->owner = nullptr;
        if (window->windowClass) --window->windowClass->windowCount;
        native = window->native;
        window->native = nullptr;
        user.windows.erase(handle);
    }
    if (native) displayBackend().destroyWindow(native);
}

}  // namespace subset::user

namespace {

void sendDestroyMessages(HWND handle) {
    std::vector<HWND> children;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return;
        window->destroying = true;
    }
    sendMessage(handle, WM_DESTROY, 0, 0);
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return;
        children = window->children;
    }
    for (HWND child : children) sendDestroyMessages(child);
}

}  // namespace

extern "C" {

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parentArg, HMENU menu, HINSTANCE instance, LPVOID param) {
    displayBackend();  // the back end opens before the first window
    auto queue = currentQueue();
    HWND parentWindow = orDesktopAsNone(parentArg);
    HWND handle = nullptr;
    bool sizeBounded = (style & WS_THICKFRAME) || !(style & (WS_POPUP | WS_CHILD));
    {
        auto lock = lockUser();
        auto windowClass = findClassLocked(className, instance);
        if (!windowClass) return nullptr;
        auto window = std::make_shared<Window>();
        if (parentArg == HWND_MESSAGE) {
            window->messageOnly = true;
        } else if ((style & WS_CHILD) && parentArg != desktopWindow()) {
            if (!parentWindow || !findWindowLocked(parentWindow)) return nullptr;
            window->parent = parentWindow;
            window->id = reinterpret_cast<UINT_PTR>(menu);
        } else if (parentWindow) {
            if (!findWindowLocked(parentWindow)) return nullptr;
            window->owner = topLevelOfLocked(parentWindow);
        }
        bool overlapped = !(style & (WS_POPUP | WS_CHILD));
        if (x == CW_USEDEFAULT) x = y = 0;
        if (width == CW_USEDEFAULT) {
            SIZE screen = screenSizeLocked();
            width = overlapped ? screen.cx * 3 / 4 : 0;
            height = overlapped ? screen.cy * 3 / 4 : 0;
        }
        width = std::max(width, 0);
        height = std::max(height, 0);

        handle = reinterpret_cast<HWND>(state().nextHandle);
        state().nextHandle += 4;
        window->handle = handle;
        window->windowClass = windowClass;
        window->proc = windowClass->proc;
        window->style = style & ~WS_VISIBLE;
        window->exStyle = exStyle & ~WS_EX_TOPMOST;
        window->instance = instance;
        window->extra.assign(static_cast<size_t>(windowClass->windowExtra), 0);
        window->rect = RECT{x, y, x + width, y + height};
        window->client = window->rect;
        window->queue = queue;
        window->surface = std::make_shared<subset::Surface>();
        ++windowClass->windowCount;
        state().windows[handle] = window;
        if (!window->messageOnly)
            placeInZOrderLocked(*window, window->parent ? HWND_BOTTOM : (exStyle & WS_EX_TOPMOST) ? HWND_TOPMOST
                                                                                                    : HWND_TOP);
    }

    if (sizeBounded) {
        MINMAXINFO limits = minMaxInfo(handle);
        width = std::max(std::min(width, static_cast<int>(limits.ptMaxTrackSize.x)),
                         static_cast<int>(limits.ptMinTrackSize.x));
        height = std::max(std::min(height, static_cast<int>(limits.ptMaxTrackSize.y)),
                          static_cast<int>(limits.ptMinTrackSize.y));
        auto lock = lockUser();
        if (Window* window = findWindowLocked(handle)) {
            window->rect = RECT{x, y, x + width, y + height};
            window->client = window->rect;
        }
    }
    syncNativeWindow(handle);

    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = parentArg;
    create.cy = height;
    create.cx = width;
    create.y = y;
    create.x = x;
    create.style = static_cast<LONG>(style);
    create.lpszName = windowName;
    create.lpszClass = className;
    create.dwExStyle = exStyle;
    auto createParam = reinterpret_cast<LPARAM>(&create);

    if (!sendMessage(handle, WM_NCCREATE, 0, createParam)) {
        destroyWindowStorage(handle);
        return nullptr;
    }
    // WM_NCCALCSIZE without a position record works in screen coordinates.
    RECT clientArea{};
    POINT parentOrigin{};
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return nullptr;
        clientArea = window->rect;
        if (Window* parent = window->parent ? findWindowLocked(window->parent) : nullptr)
            parentOrigin = clientOriginOnScreenLocked(*parent);
    }
    OffsetRect(&clientArea, parentOrigin.x, parentOrigin.y);
    sendMessage(handle, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&clientArea));
    OffsetRect(&clientArea, -parentOrigin.x, -parentOrigin.y);
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return nullptr;
        window->client = clientArea;
        if (window->client.right < window->client.left) window->client.right = window->client.left;
        if (window->client.bottom < window->client.top) window->client.bottom = window->client.top;
        window->surface->resize(window->client.right - window->client.left, window->client.bottom - window->client.top);
    }
    if (sendMessage(handle, WM_CREATE, 0, createParam) == -1) {
        destroyWindowStorage(handle);
        return nullptr;
    }
    RECT client{};
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return nullptr;
        client = window->client;
    }
    sendMessage(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right - client.left, client.bottom - client.top));
    sendMessage(handle, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    sendParentNotify(handle, WM_CREATE);
    if (!IsWindow(handle)) return nullptr;
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return IsWindow(handle) ? handle : nullptr;
}

BOOL WINAPI IsWindow(HWND handle) {
    if (handle == desktopWindow()) return TRUE;
    auto lock = lockUser();
    return findWindowLocked(handle) != nullptr;
}

BOOL WINAPI DestroyWindow(HWND handle) {
    bool isChild = false, visible = false;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window || window->destroying || !isCurrentThread(*window)) return FALSE;
        isChild = (window->style & (WS_CHILD | WS_POPUP)) == WS_CHILD && window->parent;
        visible = (window->style & WS_VISIBLE) != 0;
    }
    if (isChild) sendParentNotify(handle, WM_DESTROY);
    if (visible && IsWindow(handle)) {
        if (isChild)
            ShowWindow(handle, SW_HIDE);
        else
            setWindowPos(handle, nullptr, 0, 0, 0, 0,
                         SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
    }
    if (!IsWindow(handle)) return TRUE;

    // Owned windows go first, then activation, focus and capture move away.
    std::vector<HWND> owned;
    HWND active = nullptr, focus = nullptr, capture = nullptr;
    {
        auto lock = lockUser();
        for (auto& [other, window] : state().windows)
            if (window->owner == handle && !window->destroying) owned.push_back(other);
        active = state().active;
        focus = state().focus;
        capture = state().capture;
        if (capture && !isDescendantLocked(capture, handle)) capture = nullptr;
        if (focus && !isDescendantLocked(focus, handle)) focus = nullptr;
        if (active != handle) active = nullptr;
    }
    for (HWND window : owned) DestroyWindow(window);
    if (active) activateOtherWindow(handle);
    if (focus) {
        auto lock = lockUser();
        bool stillThere = state().focus == focus;
        lock.unlock();
        if (stillThere) setFocusWindow(nullptr);
    }
    if (capture) ReleaseCapture();
    if (!IsWindow(handle)) return TRUE;

    sendDestroyMessages(handle);
    destroyWindowStorage(handle);
    return TRUE;
}

}  // extern "C"
