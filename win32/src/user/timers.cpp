// Timers.
//
// Provides: SetTimer, KillTimer.
//
// Promises the real rules: an interval below USER_TIMER_MINIMUM (10 ms) is
// raised to it and one above USER_TIMER_MAXIMUM lowered to it; setting a
// timer that exists (same window and id) replaces it and restarts its
// interval; a window timer returns its id (1 when the id given was 0) and a
// timer without a window gets a new id of its own, unless the id given
// names one of the thread's timers, which it then replaces. WM_TIMER is made
// when the queue has nothing else, at most one per timer however late, and
// the next interval starts when it is taken out; the window's thread gets
// it, and a timer procedure, when given, is called by DispatchMessageA.
// KillTimer returns FALSE for a timer that does not exist.
#include <windows.h>

#include <algorithm>

#include "user/window_manager.h"

using namespace subset::user;

namespace {

UINT_PTR nextThreadTimerId = 1;

}  // namespace

namespace subset::user {

bool takeTimerMessageLocked(ThreadQueue& queue, HWND filter, UINT filterMin, UINT filterMax, bool remove,
                            MSG& message) {
    auto now = Clock::now();
    for (Timer& timer : queue.timers) {
        if (timer.due > now) continue;
        if (!matchesFilterLocked(timer.window, WM_TIMER, filter, filterMin, filterMax)) continue;
        message = MSG{timer.window, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc), tickNow(),
                      cursorLocked()};
        if (remove) timer.due = now + std::chrono::milliseconds(timer.elapse);
        return true;
    }
    return false;
}

bool nextTimerDueLocked(const ThreadQueue& queue, Clock::time_point& due) {
    if (queue.timers.empty()) return false;
    due = std::min_element(queue.timers.begin(), queue.timers.end(), [](const Timer& a, const Timer& b) {
              return a.due < b.due;
          })->due;
    return true;
}

}  // namespace subset::user

extern "C" {

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    auto own = currentQueue();
    auto lock = lockUser();
    std::shared_ptr<ThreadQueue> queue = own;
    if (window) {
        Window* target = findWindowLocked(window);
        if (!target) return 0;
        queue = target->queue;
    } else {
        bool existing = id && std::any_of(queue->timers.begin(), queue->timers.end(),
                                          [&](const Timer& t) { return !t.window && t.id == id; });
        if (!existing) id = nextThreadTimerId++;
    }
    Timer timer{window, id, elapse, timerProc, Clock::now() + std::chrono::milliseconds(elapse)};
    auto found = std::find_if(queue->timers.begin(), queue->timers.end(),
                              [&](const Timer& t) { return t.window == window && t.id == id; });
    if (found != queue->timers.end())
        *found = timer;
    else
        queue->timers.push_back(timer);
    wakeQueueLocked(*queue);  // a waiting GetMessageA takes the new deadline
    return id ? id : 1;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    auto own = currentQueue();
    auto lock = lockUser();
    std::shared_ptr<ThreadQueue> queue = own;
    if (window) {
        Window* target = findWindowLocked(window);
        if (!target) return FALSE;
        queue = target->queue;
    }
    auto found = std::find_if(queue->timers.begin(), queue->timers.end(),
                              [&](const Timer& t) { return t.window == window && t.id == id; });
    if (found == queue->timers.end()) return FALSE;
    queue->timers.erase(found);
    return TRUE;
}

}  // extern "C"
