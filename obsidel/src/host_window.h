// The host's main window (GetOBWnd): it keeps the list of plug-in windows
// registered for host messages (10001/10002), shows status texts (10304),
// and hands broadcasts (10901) and reconfigure (10103) to the registered
// windows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace obsidel {

// The class of the main window; other processes find the running host by it.
extern const char* const kHostWindowClass;

HWND createHostWindow(HINSTANCE instance);
void destroyHostWindow();
HWND hostWindow();

// To every window registered for the message, on the calling (user-interface) thread.
void broadcast(const char* command);
// Reads the current style file again first, so that the plug-ins see its changes.
void reconfigure();

// Ends the message loop after `milliseconds`, first writing the screen to
// `snapshotPath` when it is not empty.
void exitAfter(unsigned milliseconds, const std::string& snapshotPath);

// The windows registered for `message`, in the order they registered.
std::vector<HWND> windowsRegisteredFor(UINT message);

}  // namespace obsidel
