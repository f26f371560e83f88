// Folder change notices on Linux: one inotify descriptor, a watch for each
// folder (a file itself cannot be watched, because an atomic replace, ours
// or an editor's, puts a new file in its place), read by one thread that
// posts kFilesChanged for any change of a file in them.
#include "file_change_notice.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>


namespace obsidel {
namespace {

constexpr uint32_t kChanges = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB;

int notices = -1;
int wakePipe[2] = {-1, -1};
std::thread waiter;
std::atomic<bool> stopping{false};
std::mutex foldersLock;
std::set<std::string> folders;

void waitForNotices(HWND window) {
    alignas(inotify_event) char events[8192];
    pollfd waits[2] = {{notices, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
    while (!stopping) {
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (waits[1].revents) return;
        // Only that something changed matters here; the host finds out what.
        if (read(notices, events, sizeof events) > 0) PostMessageA(window, kFilesChanged, 0, 0);
    }
}

}  // namespace

bool startChangeNotices(HWND window) {
    notices = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (notices < 0 || pipe(wakePipe) != 0) {
        std::fprintf(stderr, "obsidel: cannot watch files for changes (%s); after an edit, run obsidel --reconfigure\n",
                     std::strerror(errno));
        if (notices >= 0) close(notices);
        notices = -1;
        return false;
    }
    stopping = false;
    waiter = std::thread(waitForNotices, window);
    return true;
}

void watchFolder(const std::string& folder) {
    if (notices < 0) return;
    std::lock_guard<std::mutex> guard(foldersLock);
    if (!folders.insert(folder).second) return;
    if (inotify_add_watch(notices, folder.c_str(), kChanges) < 0)
        std::fprintf(stderr, "obsidel: cannot watch the folder %s for changes (%s); after an edit there, run obsidel "
                     "--reconfigure\n", folder.c_str(), std::strerror(errno));
}

void stopChangeNotices() {
    if (notices < 0) return;
    stopping = true;
    char byte = 0;
    ssize_t ignored = write(wakePipe[1], &byte, 1);
    (void)ignored;
    if (waiter.joinable()) waiter.join();
    close(notices);
    close(wakePipe[0]);
    close(wakePipe[1]);
    notices = wakePipe[0] = wakePipe[1] = -1;
    std::lock_guard<std::mutex> guard(foldersLock);
    folders.clear();
}

}  // namespace obsidel
