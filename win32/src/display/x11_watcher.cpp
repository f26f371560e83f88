// The x11 display's watcher thread and its wake-ups.
//
// Provides (inside the subset): subset::display::x11::watchConnection,
// eventsWaitingLocked, wakeIf.
//
// Promises: the watcher reads no events itself (they are the
// user-interface thread's): when the connection becomes readable it wakes
// the message loops and waits until pumpX11Events has run (at most 100 ms,
// for when no loop runs), so that one burst of events gives one wake-up. It
// ends when asked to stop, when the connection is lost or closed.
#include <X11/Xlib.h>
#include <poll.h>

#include <cerrno>
#include <chrono>

#include "display/x11_state.h"

namespace subset::display::x11 {

bool eventsWaitingLocked(X11State& s) { return usable(s) && XQLength(s.display) > 0; }

void wakeIf(const Sink* sink, bool waiting) {
    if (waiting) sink->wakeMessageLoops();
}

void watchConnection(const Sink* sink, int connection, int stop) {
    X11State& s = x11();
    for (;;) {
        pollfd fds[2] = {{connection, POLLIN, 0}, {stop, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!fds[0].revents) continue;
        unsigned long seen = 0;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            seen = s.pumped;
        }
        sink->wakeMessageLoops();
        // Wait until the events were read (or a while, when no loop runs).
        std::unique_lock<std::mutex> lock(s.mutex);
        s.pumpedChanged.wait_for(lock, std::chrono::milliseconds(100),
                                 [&] { return s.pumped != seen || s.stopping || s.lost; });
        if (s.stopping || s.lost) return;
        if (fds[0].revents & POLLNVAL) return;
    }
}

}  // namespace subset::display::x11
