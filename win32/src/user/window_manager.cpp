// The window manager's shared state and the plumbing every user call goes
// through: the lock, window lookup, per-thread queues, sending a message to
// a window of this or another thread, and mirroring top-level windows onto
// the display back end.
//
// Provides (inside the subset): the functions of window_manager.h marked as
// living here.
//
// Promises: a message sent to a window of another thread runs on that
// thread, while the sender waits and keeps running messages sent to it (so
// two threads sending to each other do not dead-lock); a send to a thread
// that has ended returns 0.
#include "user/window_manager.h"

#include <algorithm>
#include <atomic>

#include "display/display.h"
#include "internal/user_objects.h"

namespace subset::user {
namespace {

// Marks the queue dead when its thread ends and answers what waits on it.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (!queue) return;
        auto lock = lockUser();
        queue->alive = false;
        for (auto& sent : queue->sent) {
            sent->done = true;
            if (sent->sender) wakeQueueLocked(*sent->sender);
        }
        queue->sent.clear();
    }
};

thread_local QueueHolder threadQueue;

}  // namespace

UserState& state() {
    // Never destroyed: threads may still use it while the process exits.
    static UserState* instance = new UserState;
    return *instance;
}

std::unique_lock<std::mutex> lockUser() { return std::unique_lock<std::mutex>(state().mutex); }

DWORD tickNow() {
    auto now = Clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<DWORD>(static_cast<uint64_t>(ms));
}

std::shared_ptr<ThreadQueue> currentQueue() {
    if (!threadQueue.queue) {
        auto queue = std::make_shared<ThreadQueue>();
        queue->thread = std::this_thread::get_id();
        static std::atomic<DWORD> nextThreadId{1};
        queue->threadId = nextThreadId++;
        threadQueue.queue = std::move(queue);
    }
    return threadQueue.queue;
}

bool isCurrentThread(const Window& window) { return window.queue->thread == std::this_thread::get_id(); }

Window* findWindowLocked(HWND handle) {
    auto& windows = state().windows;
    auto found = windows.find(handle);
    return found == windows.end() ? nullptr : found->second.get();
}

std::shared_ptr<Window> findWindowSharedLocked(HWND handle) {
    auto& windows = state().windows;
    auto found = windows.find(handle);
    return found == windows.end() ? nullptr : found->second;
}

bool isVisibleLocked(const Window& window) {
    for (const Window* w = &window; w; w = w->parent ? findWindowLocked(w->parent) : nullptr)
        if (!(w->style & WS_VISIBLE)) return false;
    return !window.messageOnly;
}

HWND topLevelOfLocked(HWND handle) {
    Window* w = findWindowLocked(handle);
    while (w && w->parent) w = findWindowLocked(w->parent);
    return w ? w->handle : nullptr;
}

bool isDescendantLocked(HWND handle, HWND ancestor) {
    for (Window* w = findWindowLocked(handle); w; w = w->parent ? findWindowLocked(w->parent) : nullptr)
        if (w->handle == ancestor) return true;
    return false;
}

std::vector<HWND>* siblingsLocked(const Window& window) {
    if (!window.parent) return window.messageOnly ? nullptr : &state().topLevel;
    Window* parent = findWindowLocked(window.parent);
    return parent ? &parent->children : nullptr;
}

POINT clientOriginOnScreenLocked(const Window& window) {
    POINT origin{window.client.left, window.client.top};
    for (Window* p = window.parent ? findWindowLocked(window.parent) : nullptr; p;
         p = p->parent ? findWindowLocked(p->parent) : nullptr) {
        origin.x += p->client.left;
        origin.y += p->client.top;
    }
    return origin;
}

SIZE screenSizeLocked() { return display::current().screenSize(); }

void wakeQueueLocked(ThreadQueue& queue) {
    ++queue.wakeCount;
    queue.wake.notify_all();
}

bool runSentMessagesLocked(std::unique_lock<std::mutex>& lock, ThreadQueue& queue) {
    bool ran = false;
    while (!queue.sent.empty()) {
        auto sent = queue.sent.front();
        queue.sent.pop_front();
        Window* window = findWindowLocked(sent->window);
        WNDPROC proc = window ? window->proc : nullptr;
        lock.unlock();
        LRESULT result = proc ? proc(sent->window, sent->message, sent->wParam, sent->lParam) : 0;
        lock.lock();
        sent->result = result;
        sent->done = true;
        if (sent->sender) wakeQueueLocked(*sent->sender);
        ran = true;
    }
    return ran;
}

LRESULT sendMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    auto mine = currentQueue();
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    if (!window) return 0;
    WNDPROC proc = window->proc;
    std::shared_ptr<ThreadQueue> owner = window->queue;
    if (owner == mine) {
        lock.unlock();
        return proc ? proc(handle, message, wParam, lParam) : 0;
    }
    if (!owner->alive) return 0;
    auto sent = std::make_shared<SentMessage>();
    sent->window = handle;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->sender = mine;
    owner->sent.push_back(sent);
    wakeQueueLocked(*owner);
    while (!sent->done) {
        if (runSentMessagesLocked(lock, *mine)) continue;
        if (!sent->done) mine->wake.wait(lock);
    }
    return sent->result;
}

void syncNativeWindow(HWND handle) {
    const display::Backend& backend = display::current();
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
    if (fresh || before.visible != now.visible) backend.setVisible(native, now.visible);
    if (fresh) syncNativeZOrder();
}

void syncNativeZOrder() {
    const display::Backend& backend = display::current();
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

namespace {

void pictureOfLocked(const Window& window, WindowPicture& picture) {
    picture.window = window.handle;
    POINT origin = clientOriginOnScreenLocked(window);
    picture.client = RECT{origin.x, origin.y, origin.x + window.client.right - window.client.left,
                          origin.y + window.client.bottom - window.client.top};
    picture.surface = window.surface;
    picture.layered = (window.exStyle & WS_EX_LAYERED) != 0;
    picture.layeredSet = window.layeredSet;
    picture.key = window.layeredKey;
    picture.alpha = window.layeredAlpha;
    picture.flags = window.layeredFlags;
    picture.children.clear();
    for (auto it = window.children.rbegin(); it != window.children.rend(); ++it) {
        Window* child = findWindowLocked(*it);
        if (!child || !(child->style & WS_VISIBLE)) continue;
        picture.children.emplace_back();
        pictureOfLocked(*child, picture.children.back());
    }
}

}  // namespace

std::vector<WindowPicture> screenPicturesLocked() {
    std::vector<WindowPicture> pictures;
    auto& order = state().topLevel;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        Window* window = findWindowLocked(*it);
        if (!window || !isVisibleLocked(*window)) continue;
        pictures.emplace_back();
        pictureOfLocked(*window, pictures.back());
    }
    return pictures;
}

bool windowPictureLocked(HWND topLevel, WindowPicture& picture) {
    Window* window = findWindowLocked(topLevel);
    if (!window) return false;
    pictureOfLocked(*window, picture);
    return true;
}

void presentWindow(HWND handle, const RECT& dirty) {
    const display::Backend& backend = display::current();
    if (!backend.present) return;
    WindowPicture picture;
    void* native = nullptr;
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
        pictureOfLocked(*top, picture);
    }
    RECT whole{0, 0, picture.client.right - picture.client.left, picture.client.bottom - picture.client.top};
    if (!IntersectRect(&area, &area, &whole)) return;
    if (picture.children.empty()) {
        backend.present(native, *picture.surface, area);
        return;
    }
    Surface image = display::composeWindow(picture);
    backend.present(native, image, area);
}

}  // namespace subset::user

int subset::userObjectCount() {
    auto lock = subset::user::lockUser();
    return static_cast<int>(subset::user::state().windows.size());
}
