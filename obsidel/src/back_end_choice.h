// Bringing the host's choice of display and recording back ends in force;
// implemented in src/linux/platform.cpp and src/windows/platform.cpp beside
// the rest of what differs by system (platform.h), which sits below the
// host's choices.
#pragma once

#include <string>

#include "host_choices.h"

namespace obsidel {

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

}  // namespace obsidel
