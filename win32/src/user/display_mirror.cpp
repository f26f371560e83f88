// Mirroring the top-level windows onto the display back end.
//
// Provides (inside the subset): subset::user::syncNativeWindow,
// syncNativeZOrder, presentWindow.
//
// Promises: every top-level window that is not message-only has a record in
// the back end from its creation to its end; the back end hears only of
// what changed since it was last told (placement, layered attributes, title,
// stickiness, visibility, in that order; a new record hears of all of it and then of the
// z-order); after painting, a window's client pixels go to its top-level
// window's record, composed with its children when it has any. The back end
// is called without the lock.
#include "user/window_manager.h"

namespace subset::user {

void syncNativeWindow(HWND handle) {
    const display::Backend& backend = displayBackend();
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return;
    bool wantsNative = !window->parent && !window->messageOnly;
    void* created = nullptr;
    void* retired = nullptr;
    if (wantsNative && !window->native) {
        RECT rect = window->rect;
        DWORD style = window->style, exStyle = window->exStyle;
        lock.unlock();
        created = backend.createWindow(handle, rect, style, exStyle);
        lock.lock();
        window = findWindowLocked(handle);
        if (!window) {
            lock.unlock();
            if (created) backend.destroyWindow(created);
            return;
        }
        window->native = created;
        window->mirror = Window::Mirror{};
        window->mirror.rect = rect;
    } else if (!wantsNative && window->native) {
        retired = window->native;
        window->native = nullptr;
    }
    void* native = window->native;
    Window::Mirror now;
    now.rect = window->rect;
    now.visible = isVisibleLocked(*window);
    now.layered = (window->exStyle & WS_EX_LAYERED) != 0;
    now.key = window->layeredKey;
    now.alpha = window->layeredAlpha;
    now.flags = window->layeredSet ? window->layeredFlags : 0;
    now.title = window->text;
    now.sticky = window->sticky;
    Window::Mirror before = window->mirror;
    window->mirror = now;
    bool fresh = created != nullptr;
    lock.unlock();

    if (retired) backend.destroyWindow(retired);
    if (!native) return;
    if (fresh || !EqualRect(&before.rect, &now.rect)) backend.setPlacement(native, now.rect);
    if (fresh || before.layered != now.layered || before.key != now.key || before.alpha != now.alpha ||
        before.flags != now.flags)
        backend.setLayered(native, now.layered, now.key, now.alpha, now.flags);
    if (fresh || before.title != now.title) backend.setTitle(native, now.title.c_str());
    // A new record starts on one desktop.
    if (backend.setSticky && before.sticky != now.sticky) backend.setSticky(native, now.sticky);
    if (fresh || before.visible != now.visible) backend.setVisible(native, now.visible);
    if (fresh) syncNativeZOrder();
}

void syncNativeZOrder() {
    const display::Backend& backend = displayBackend();
    std::vector<void*> natives;
    std::vector<char> topmostFlags;
    {
        auto lock = lockUser();
        for (HWND handle : state().topLevel) {
            Window* window = findWindowLocked(handle);
            if (!window || !window->native) continue;
            natives.push_back(window->native);
            topmostFlags.push_back((window->exStyle & WS_EX_TOPMOST) != 0);
        }
    }
    std::unique_ptr<bool[]> topmost(new bool[topmostFlags.size() + 1]);
    for (size_t i = 0; i < topmostFlags.size(); ++i) topmost[i] = topmostFlags[i] != 0;
    backend.setZOrder(natives.data(), topmost.get(), static_cast<int>(natives.size()));
}

void presentWindow(HWND handle, const RECT& dirty) {
    const display::Backend& backend = displayBackend();
    if (!backend.present) return;
    WindowPicture picture;
    void* native = nullptr;
    POINT clientOrigin{0, 0};
    RECT area = dirty;
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return;
        // A child's pixels show through its top-level window: present that one.
        Window* top = findWindowLocked(topLevelOfLocked(handle));
        if (!top || !top->native) return;
        if (top != window) {
            POINT origin = clientOriginOnScreenLocked(*window);
            POINT topOrigin = clientOriginOnScreenLocked(*top);
            OffsetRect(&area, origin.x - topOrigin.x, origin.y - topOrigin.y);
        }
        native = top->native;
        clientOrigin = POINT{top->client.left - top->rect.left, top->client.top - top->rect.top};
        windowPictureLocked(top->handle, picture);
    }
    RECT whole{0, 0, picture.client.right - picture.client.left, picture.client.bottom - picture.client.top};
    if (!IntersectRect(&area, &area, &whole)) return;
    if (picture.children.empty()) {
        backend.present(native, *picture.surface, area, clientOrigin);
        return;
    }
    Surface image = composeWindow(picture);
    backend.present(native, image, area, clientOrigin);
}

}  // namespace subset::user
