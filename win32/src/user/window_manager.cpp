// The window manager's shared state and the plumbing every user call goes
// through: the lock, window lookup, per-thread queues, and sending a message
// to a window of this or another thread.
//
// Provides (inside the subset): the functions of window_manager.h marked as
// living here.
//
// Promises: a message sent to a window of another thread runs on that
// thread, while the sender waits and keeps running messages sent to it (so
// two threads sending to each other do not dead-lock); a send to a thread
// that has ended returns 0.
#include "user/window_manager.h"

#include <atomic>

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

int userObjectCount() {
    auto lock = lockUser();
    return static_cast<int>(state().windows.size());
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

SIZE screenSizeLocked() { return displayBackend().screenSize(); }

void wakeQueueLocked(ThreadQueue& queue) {
    ++queue.wakeCount;
    queue.wake.notify_all();
}

namespace {
thread_local WakesAfterUnlock* wakesHeldBack = nullptr;
}

WakesAfterUnlock::WakesAfterUnlock() : outer_(wakesHeldBack) { wakesHeldBack = this; }

WakesAfterUnlock::~WakesAfterUnlock() {
    wakesHeldBack = outer_;
    for (std::size_t i = 0; i < count_; ++i) held_[i]->wake.notify_all();
}

bool WakesAfterUnlock::holdLocked(const std::shared_ptr<ThreadQueue>& queue) {
    WakesAfterUnlock* scope = wakesHeldBack;
    if (!scope) return false;
    for (std::size_t i = 0; i < scope->count_; ++i) {
        if (scope->held_[i] == queue) {
            ++queue->wakeCount;
            return true;
        }
    }
    if (scope->count_ == kRoom) return false;
    ++queue->wakeCount;
    scope->held_[scope->count_++] = queue;
    return true;
}

void wakeQueueSoonLocked(const std::shared_ptr<ThreadQueue>& queue) {
    if (!WakesAfterUnlock::holdLocked(queue)) wakeQueueLocked(*queue);
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

}  // namespace subset::user
