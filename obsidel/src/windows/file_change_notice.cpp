// Folder change notices on Windows: a change-notification handle for each
// folder (FindFirstChangeNotification, file names and last writes), waited
// for by one thread together with an event that wakes it when a folder is
// added or the host stops. Each notice posts kFilesChanged.
#include "file_change_notice.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace obsidel {
namespace {

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

HANDLE wake = nullptr;
bool stopping = false;
std::thread waiter;
std::mutex foldersLock;
std::set<std::string> folders;
std::vector<HANDLE> handles;  // one per folder that could be watched

void waitForNotices(HWND window) {
    for (;;) {
        std::vector<HANDLE> waits{wake};
        {
            std::lock_guard<std::mutex> guard(foldersLock);
            if (stopping) return;
            waits.insert(waits.end(), handles.begin(), handles.end());
        }
        // WaitForMultipleObjects takes at most 64 handles: the first folders are watched.
        const DWORD count = waits.size() < MAXIMUM_WAIT_OBJECTS ? DWORD(waits.size()) : MAXIMUM_WAIT_OBJECTS;
        const DWORD which = WaitForMultipleObjects(count, waits.data(), FALSE, INFINITE);
        if (which == WAIT_FAILED) return;
        if (which == WAIT_OBJECT_0) continue;  // a folder was added, or the host stops
        if (which > WAIT_OBJECT_0 && which < WAIT_OBJECT_0 + count) {
            PostMessageA(window, kFilesChanged, 0, 0);
            FindNextChangeNotification(waits[which - WAIT_OBJECT_0]);
        }
    }
}

}  // namespace

bool startChangeNotices(HWND window) {
    wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!wake) {
        std::fprintf(stderr, "obsidel: cannot watch files for changes (error %lu); after an edit, run obsidel "
                     "--reconfigure\n", static_cast<unsigned long>(GetLastError()));
        return false;
    }
    stopping = false;
    waiter = std::thread(waitForNotices, window);
    return true;
}

void watchFolder(const std::string& folder) {
    if (!wake) return;
    {
        std::lock_guard<std::mutex> guard(foldersLock);
        if (!folders.insert(folder).second) return;
        HANDLE handle = FindFirstChangeNotificationA(folder.c_str(), FALSE, kChanges);
        if (handle == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "obsidel: cannot watch the folder %s for changes (error %lu); after an edit there, "
                         "run obsidel --reconfigure\n", folder.c_str(), static_cast<unsigned long>(GetLastError()));
            return;
        }
        handles.push_back(handle);
    }
    SetEvent(wake);
}

void stopChangeNotices() {
    if (!wake) return;
    {
        std::lock_guard<std::mutex> guard(foldersLock);
        stopping = true;
    }
    SetEvent(wake);
    if (waiter.joinable()) waiter.join();
    for (HANDLE handle : handles) FindCloseChangeNotification(handle);
    handles.clear();
    folders.clear();
    CloseHandle(wake);
    wake = nullptr;
}

}  // namespace obsidel
