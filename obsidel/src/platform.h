// What the host does differently on each system; implemented once in
// src/linux/ and once in src/windows/.
#pragma once

#include <windows.h>

#include <string>

#include "host_choices.h"

namespace obsidel {

// The host's configuration folder when no --home is given.
std::string defaultHomeFolder();
// Creates the folder (and its parents). False with a message when it cannot.
bool makeFolder(const std::string& path);
char pathSeparator();
// The file name of the Vumira module that is built beside the host.
const char* defaultModuleName();

// Chooses the display and wave-in back ends. Only the Linux subset has a
// choice; on Windows a choice is reported and ignored. Then prints one line
// on standard error: the display, the recording source and the style in use
// and where each choice came from, and, the first time a microphone-like
// source records, how to record what is playing (then also left in
// `playingHint`, for the status text). On Linux, when nothing was chosen and
// no recording device answers, the demo signal is used, so a first run shows
// something. Returns 0, or the exit status after a message: 2 for a
// --wave-in text on the command line that names no device (a mistake on the
// command line), 1 for any other choice that cannot be had.
int selectBackEnds(const HostChoices& choices, std::string& playingHint);
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
