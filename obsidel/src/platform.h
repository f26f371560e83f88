// What the host does differently on each system; implemented once in
// src/linux/ and once in src/windows/. The choice of back ends, which reads
// the host's choices, is back_end_choice.h.
#pragma once

#include <windows.h>

#include <string>

namespace obsidel {

// The host's configuration folder when no --home is given.
std::string defaultHomeFolder();
// Creates the folder (and its parents). False with a message when it cannot.
bool makeFolder(const std::string& path);
char pathSeparator();
// The file name of the Vumira module that is built beside the host.
const char* defaultModuleName();

// Whether the host's windows reach a screen a person sees (not headless).
bool displayShowsWindows();
// From here on, message boxes are the host's own windows where the display
// shows windows (on Linux; Windows has boxes of its own); the headless
// display only logs them.
void showMessageBoxesAsWindows();
// Keeps `window` on every desktop, or only on its own; where the system
// has no such choice for a program, nothing changes.
void keepOnEveryDesktop(HWND window, bool sticky);
// Writes the screen as PNG.
bool writeScreenSnapshot(const std::string& path);
// An interrupt (Ctrl+C, a termination request) closes the host window, so
// the host stops its plug-ins and exits cleanly; on Linux a hang-up
// (SIGHUP) reconfigures the plug-ins, as `obsidel --reconfigure` does, and
// SIGUSR1 prints the counts of user and GDI objects on standard error.
void handleSignals(HWND hostWindow);

}  // namespace obsidel
