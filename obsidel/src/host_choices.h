// The host's own choices: the recording source, the display and the style.
// Each comes from the command line, else the environment (VUMIRA_WAVE_IN,
// VUMIRA_DISPLAY), else the host's settings file obsidel.rc in the
// configuration folder (waveIn:, display:, style:), else the built-in
// default; `--save` writes the command line's choices into that file.
#pragma once

#include <string>

#include "command_line.h"

namespace obsidel {

// The host's settings file, in the configuration folder.
extern const char* const kHostSettingsName;
std::string hostSettingsPath();

enum class ChoiceOrigin { CommandLine, Environment, SettingsFile, BuiltIn };

struct Choice {
    std::string value;  // as given; empty when built in
    ChoiceOrigin origin = ChoiceOrigin::BuiltIn;
    const char* option = "";  // "--wave-in"
    // What the back ends are told: the value when the host chose it (command
    // line, settings file); empty when the environment or the built-in
    // default decides, which the back ends then look up themselves.
    std::string forBackEnd() const;
    // Where it came from, for the start line: "--wave-in tone:440",
    // "obsidel.rc"; the environment's variables are named by the back ends'
    // own explanation.
    std::string originText() const;
};

struct HostChoices {
    Choice waveIn;
    Choice display;
    Choice style;  // a style file; one named in obsidel.rc relative to the configuration folder
};

// Reads the environment and obsidel.rc (the configuration folder must be
// set by now).
HostChoices resolveChoices(const Options& options);

// The start line's part about the style: "style FILE (ORIGIN)", or empty
// when the built-in default applies.
std::string describeStyleChoice(const Choice& style);

// After a choice failed: names the choices that came from obsidel.rc, so
// that the person knows which line to mend.
void pointAtSettingsFile(const HostChoices& choices);

// Writes the command line's choices into obsidel.rc (atomically, other
// lines kept), saying on standard error what it saved where. False, with a
// message, when the file cannot be written.
bool saveChoices(const Options& options);

// How to record what is playing, said where a microphone-like source records.
extern const char* const kPlayingHint;

// True only the first time it is asked in a configuration folder: the hint
// about recording what is playing is said once, and obsidel.rc remembers it.
bool firstPlayingHint();

}  // namespace obsidel
