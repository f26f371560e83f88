// The host's main window (GetOBWnd): it keeps the list of plug-in windows
// registered for host messages (10001/10002), logs status texts (10304) and
// shows them near the plug-in window that sent them,
// and hands broadcasts (10901) and reconfigure (10103) to the registered
// windows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace obsidel {

// The class of the main window; other processes find the running host by it.
extern const char* const kHostWindowClass;

// Posted to the main window: a request to reconfigure (a hang-up signal,
// say). A watched folder's change comes as kFilesChanged
// (file_change_notice.h), the message after it.
constexpr UINT kReconfigureRequest = WM_APP + 41;

// Shows and logs a status text as a plug-in's 10304 does ("obsidel -> TEXT"); from any thread.
void postStatusText(const std::string& text);
// From here on, what a recording device tells the person while it runs (a
// source they named is gone, or back) is shown as a status text too (Linux;
// on Windows the system's devices tell nothing).
void showDeviceNoticesAsStatusTexts();

HWND createHostWindow(HINSTANCE instance);
void destroyHostWindow();
HWND hostWindow();

// To every window registered for the message, on the calling (user-interface) thread.
void broadcast(const char* command);
// Reads the current style file again first, so that the plug-ins see its changes.
void reconfigure();

// Ends the message loop after `milliseconds`, first writing the screen to
// `snapshotPath` when it is not empty; the loop's exit code is 1 when that
// write failed.
void exitAfter(unsigned milliseconds, const std::string& snapshotPath);

// The windows registered for `message`, in the order they registered.
std::vector<HWND> windowsRegisteredFor(UINT message);

}  // namespace obsidel
