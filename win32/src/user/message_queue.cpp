// Messages: sending, posting and the message loop.
//
// Provides: SendMessageA, PostMessageA, PostQuitMessage, GetMessageA,
// PeekMessageA, TranslateMessage, DispatchMessageA, CallWindowProcA,
// GetMessagePos, GetMessageTime.
//
// Promises the real retrieval order: messages sent from other threads run
// first (inside GetMessageA/PeekMessageA, never returned), then posted
// messages in order, then WM_QUIT once no posted message is left, then
// pointer and key input, then WM_PAINT for a window with an update region,
// then WM_TIMER for a due timer. WM_PAINT and WM_TIMER are made when asked
// for, so several invalidations give one WM_PAINT, and a timer that fell
// behind gives one WM_TIMER. GetMessageA waits without spinning until one of
// these arrives (PostMessageA and InvalidateRect from any thread wake it, as
// do the display back end and the next timer); it returns 0 for WM_QUIT and
// -1 for a filter window that does not exist. A window filter matches the
// window and its descendants; (HWND)-1 matches messages posted to no window.
// PostMessageA(NULL) posts to the calling thread; HWND_BROADCAST posts to
// every top-level window. DispatchMessageA calls a WM_TIMER's timer
// procedure when the message carries one. TranslateMessage posts WM_CHAR
// (WM_SYSCHAR with Alt) for key presses that type a character (US layout).
#include <windows.h>

#include "user/window_manager.h"

using namespace subset::user;

namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

// The state of the keyboard for TranslateMessage.
bool keyDownLocked(int key) { return (state().keys[key & 0xFF] & 0x80) != 0; }

char typedCharacter(WPARAM key, bool shift, bool control) {
    if (key >= 'A' && key <= 'Z') {
        if (control) return static_cast<char>(key - 'A' + 1);
        return static_cast<char>(shift ? key : key - 'A' + 'a');
    }
    if (key >= '0' && key <= '9') {
        static const char shifted[] = ")!@#$%^&*(";
        return shift ? shifted[key - '0'] : static_cast<char>(key);
    }
    switch (key) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_BACK: return '\b';
    case VK_TAB: return '\t';
    case VK_ESCAPE: return 0x1B;
    default: return 0;
    }
}

void rememberMessageLocked(ThreadQueue& queue, const MSG& message) {
    queue.lastMessagePoint = message.pt;
    queue.lastMessageTime = message.time;
}

// 1: a message; 0: nothing (PeekMessageA); -1: bad filter window.
int retrieve(MSG* out, HWND filter, UINT filterMin, UINT filterMax, UINT flags, bool wait) {
    auto queue = currentQueue();
    const subset::display::Backend& backend = displayBackend();
    const bool remove = (flags & PM_REMOVE) != 0;
    auto lock = lockUser();
    if (filter && filter != kThreadMessagesOnly && !findWindowLocked(filter)) return -1;
    for (;;) {
        unsigned wakesSeen = queue->wakeCount;
        runSentMessagesLocked(lock, *queue);
        if (backend.pumpEvents) {
            lock.unlock();
            backend.pumpEvents();
            lock.lock();
            runSentMessagesLocked(lock, *queue);
        }

        for (auto it = queue->posted.begin(); it != queue->posted.end(); ++it) {
            if (!matchesFilterLocked(it->hwnd, it->message, filter, filterMin, filterMax)) continue;
            *out = *it;
            if (remove) {
                queue->posted.erase(it);
                rememberMessageLocked(*queue, *out);
            }
            return 1;
        }

        if (queue->quitPosted && matchesFilterLocked(nullptr, WM_QUIT, nullptr, filterMin, filterMax)) {
            *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue->quitCode), 0, tickNow(), cursorLocked()};
            if (remove) queue->quitPosted = false;
            return 1;
        }

        if (!queue->input.empty()) {
            InputRecord record = queue->input.front();
            lock.unlock();
            MSG message{};
            bool produced = translateInputRecord(record, remove, message);
            lock.lock();
            auto stillFirst = [&] { return !queue->input.empty() && queue->input.front().serial == record.serial; };
            if (!produced) {
                if (stillFirst()) queue->input.pop_front();
                continue;
            }
            if (matchesFilterLocked(message.hwnd, message.message, filter, filterMin, filterMax)) {
                if (remove && stillFirst()) {
                    queue->input.pop_front();
                    rememberMessageLocked(*queue, message);
                }
                *out = message;
                return 1;
            }
        }

        if (findPaintMessageLocked(*queue, filter, filterMin, filterMax, *out)) {
            if (remove) rememberMessageLocked(*queue, *out);
            return 1;
        }
        if (takeTimerMessageLocked(*queue, filter, filterMin, filterMax, remove, *out)) {
            if (remove) rememberMessageLocked(*queue, *out);
            return 1;
        }
        if (!wait) return 0;
        if (queue->wakeCount != wakesSeen || !queue->sent.empty()) continue;
        Clock::time_point due;
        if (nextTimerDueLocked(*queue, due))
            queue->wake.wait_until(lock, due);
        else
            queue->wake.wait(lock);
    }
}

void postLocked(ThreadQueue& queue, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    queue.posted.push_back(MSG{window, message, wParam, lParam, tickNow(), cursorLocked()});
    wakeQueueLocked(queue);
}

}  // namespace

namespace subset::user {

bool matchesFilterLocked(HWND window, UINT message, HWND filter, UINT filterMin, UINT filterMax) {
    if (filter == kThreadMessagesOnly) {
        if (window) return false;
    } else if (filter) {
        if (!window || !isDescendantLocked(window, filter)) return false;
    }
    if (filterMin == 0 && filterMax == 0) return true;
    return message >= filterMin && message <= filterMax;
}

}  // namespace subset::user

extern "C" {

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return sendMessage(window, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window) {
        auto queue = currentQueue();
        auto lock = lockUser();
        postLocked(*queue, nullptr, message, wParam, lParam);
        return TRUE;
    }
    auto lock = lockUser();
    if (window == HWND_BROADCAST) {
        for (HWND handle : state().topLevel)
            if (Window* w = findWindowLocked(handle)) postLocked(*w->queue, handle, message, wParam, lParam);
        return TRUE;
    }
    Window* target = findWindowLocked(window);
    if (!target) return FALSE;
    postLocked(*target->queue, window, message, wParam, lParam);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    auto queue = currentQueue();
    auto lock = lockUser();
    queue->quitPosted = true;
    queue->quitCode = exitCode;
    wakeQueueLocked(*queue);
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
    if (!message) return -1;
    int result = retrieve(message, window, filterMin, filterMax, PM_REMOVE, true);
    if (result < 0) return -1;
    return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!message) return FALSE;
    return retrieve(message, window, filterMin, filterMax, removeMsg, false) == 1;
}

BOOL WINAPI TranslateMessage(const MSG* message) {
    if (!message) return FALSE;
    UINT kind = message->message;
    if (kind != WM_KEYDOWN && kind != WM_SYSKEYDOWN && kind != WM_KEYUP && kind != WM_SYSKEYUP) return FALSE;
    if (kind == WM_KEYUP || kind == WM_SYSKEYUP) return TRUE;
    auto lock = lockUser();
    char typed = typedCharacter(message->wParam, keyDownLocked(VK_SHIFT), keyDownLocked(VK_CONTROL));
    if (!typed || !message->hwnd) return TRUE;
    Window* window = findWindowLocked(message->hwnd);
    if (!window) return TRUE;
    postLocked(*window->queue, message->hwnd, kind == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR,
               static_cast<WPARAM>(static_cast<unsigned char>(typed)), message->lParam);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
    if (!message) return 0;
    if (message->message == WM_TIMER && message->lParam) {
        auto timerProc = reinterpret_cast<TIMERPROC>(message->lParam);
        timerProc(message->hwnd, WM_TIMER, message->wParam, tickNow());
        return 0;
    }
    if (!message->hwnd) return 0;
    return sendMessage(message->hwnd, message->message, message->wParam, message->lParam);
}

// A window procedure is a plain function here (no ANSI/Unicode thunks),
// so the procedure a subclass replaced is called as it is.
LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(window, message, wParam, lParam) : 0;
}

DWORD WINAPI GetMessagePos(void) {
    auto queue = currentQueue();
    auto lock = lockUser();
    return static_cast<DWORD>(MAKELONG(queue->lastMessagePoint.x, queue->lastMessagePoint.y));
}

LONG WINAPI GetMessageTime(void) {
    auto queue = currentQueue();
    auto lock = lockUser();
    return static_cast<LONG>(queue->lastMessageTime);
}

}  // extern "C"
