// The wave-in devices behind WAVE_MAPPER: one table, the device text that
// picks one ("tone:440", "pulse:@DEFAULT_MONITOR@"), and the default choice.
// Adding a device: its source file, its row in the table of
// device_table.cpp, and, when it needs a library of its own, its
// subset_backend line in win32/CMakeLists.txt.
#pragma once

#include <string>

#include "wavein/source.h"

namespace subset::wavein {

struct DeviceKind {
    const char* name;   // the text before the colon
    const char* usage;  // the forms it takes, for messages
    const SourceOps* ops;
    bool triedByDefault;  // in table order, when nothing was chosen
    // For a device that records from the default device when its own source
    // is missing: whether its own answers now (asked quietly). Null: it
    // never falls back.
    bool (*ownSourceAnswers)() = nullptr;
    // Whether it records what is playing (1) or an input such as a
    // microphone (0), for the argument given. Null: neither (a file, a
    // test signal).
    int (*recordsWhatPlays)(const std::string& argument) = nullptr;
    // What it is, for messages and Win32SubsetDescribeWaveIn: what it needs,
    // what the default tried ("the sound server"), the default's choice in
    // use ("the sound server's default source"), and how it fails as the
    // default ("no sound server"); null where a device never is the default.
    const char* needs = nullptr;
    const char* tried = nullptr;
    const char* inUse = nullptr;
    const char* unavailable = nullptr;
    // What a choice of it records, in words ("what is playing on ..."), or
    // null when its text says it.
    const char* chosenAs = nullptr;
    bool recordsNothing = false;  // it only gives silence
};

struct DeviceChoice {
    const DeviceKind* kind = nullptr;  // null: the default, the first device that answers
    std::string argument;              // the text after the colon
    std::string text() const;
};

// Reads a device text; false with a message when it names no device.
bool parseDeviceText(const std::string& text, DeviceChoice& choice, std::string& error);

// What the program chose (Win32SubsetSetWaveIn), else VUMIRA_WAVE_IN, else
// the default. False with a message when VUMIRA_WAVE_IN names no device.
bool currentDeviceChoice(DeviceChoice& choice, std::string& error);

// Opens the chosen device, or for the default the sound server's default
// source, else ALSA's default, telling on standard error why each one that
// was tried did not answer. Null with a message when nothing opened.
void* openChosenDevice(const DeviceChoice& choice, const PcmShape& wanted, PcmShape& produced,
                       const SourceOps*& opened, std::string& openedText, std::string& error);

// True when a device that the default tries (the sound server, ALSA's
// default) opens now; asks quietly and closes it again.
bool anyDefaultDeviceAnswers();

// The first device that the default tries and that opens now ("pulse",
// "alsa"), asked quietly; null when none does.
const DeviceKind* firstAnsweringDefaultKind();
const char* firstAnsweringDefaultDevice();

}  // namespace subset::wavein
