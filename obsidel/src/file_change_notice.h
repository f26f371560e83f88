// Notices of changes in folders: inotify on Linux (src/linux/), the
// change-notification call on Windows (src/windows/). A thread of its own
// waits for them and posts kFilesChanged to the host window; which file
// changed, and whether that matters, is for live_reload.cpp to find out.
#pragma once

#include <windows.h>

#include <string>

namespace obsidel {

// Posted to the window given at the start: a watched folder changed (live
// reload settles first).
constexpr UINT kFilesChanged = WM_APP + 40;

// Starts the waiting thread. False, with a message, when the system
// cannot give notices; the host then runs without live reload.
bool startChangeNotices(HWND window);
// Adds a folder to those watched (once; a folder that cannot be watched is
// reported and left out).
void watchFolder(const std::string& folder);
void stopChangeNotices();

}  // namespace obsidel
