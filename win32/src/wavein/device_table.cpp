// Win32SubsetSetWaveIn, Win32SubsetWaveInChoice and the choice of wave-in
// device: the device texts, the VUMIRA_WAVE_IN variable, and the default
// (the sound server, else ALSA, else none; each failure logged on standard
// error).
#include "wavein/device_table.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <win32subset.h>

namespace subset::wavein {

namespace {

int anInput(const std::string&) { return 0; }
int whatPlays(const std::string&) { return 1; }

// The default is the first device, in this order, that is tried by default and opens.
constexpr DeviceKind kDevices[] = {
    {"pulse", "pulse[:SOURCE]", &pulseSource, true, nullptr, pulseRecordsWhatPlays},
    {"alsa", "alsa[:PCM]", &alsaSource, true, nullptr, anInput},
    {"playing", "playing", &playingSource, false, defaultOutputAnswers, whatPlays},
    {"file", "file:PATH", &fileSource, false},
    {"raw", "raw:PATH[,RATE[,CHANNELS]] or raw:-", &rawSource, false},
    {"tone", "tone:HZ[+HZ...]", &toneSource, false},
    {"demo", "demo", &demoSource, false},
    {"none", "none", &noneSource, true},
};

std::mutex choiceLock;
bool programChose = false;
DeviceChoice programChoice;

std::string knownForms() {
    std::string forms;
    for (const auto& kind : kDevices) forms += std::string(forms.empty() ? "" : ", ") + kind.usage;
    return forms;
}

}  // namespace

std::string DeviceChoice::text() const {
    if (!kind) return "default";
    return argument.empty() ? kind->name : std::string(kind->name) + ":" + argument;
}

bool parseDeviceText(const std::string& text, DeviceChoice& choice, std::string& error) {
    const std::size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    const std::string argument = colon == std::string::npos ? "" : text.substr(colon + 1);
    for (const auto& kind : kDevices) {
        if (name != kind.name) continue;
        if (!kind.ops->check(argument, error)) return false;
        choice = DeviceChoice{&kind, argument};
        return true;
    }
    error = "\"" + text + "\" names no wave-in device; use one of " + knownForms();
    return false;
}

bool currentDeviceChoice(DeviceChoice& choice, std::string& error) {
    {
        std::lock_guard<std::mutex> guard(choiceLock);
        if (programChose) {
            choice = programChoice;
            return true;
        }
    }
    const char* variable = std::getenv("VUMIRA_WAVE_IN");
    if (variable && *variable) {
        if (parseDeviceText(variable, choice, error)) return true;
        error = "VUMIRA_WAVE_IN: " + error;
        return false;
    }
    choice = DeviceChoice{};
    return true;
}

void* openChosenDevice(const DeviceChoice& choice, const PcmShape& wanted, PcmShape& produced,
                       const SourceOps*& opened, std::string& openedText, std::string& error) {
    if (choice.kind) {
        opened = choice.kind->ops;
        openedText = choice.text();
        return choice.kind->ops->open(choice.argument, wanted, produced, error);
    }
    for (const auto& kind : kDevices) {
        if (!kind.triedByDefault) continue;
        void* source = kind.ops->open("", wanted, produced, error);
        if (source) {
            opened = kind.ops;
            openedText = kind.name;
            return source;
        }
        if (kind.ops != &noneSource) std::fprintf(stderr, "wave-in: default device: %s (trying the next device)\n", error.c_str());
    }
    error = "no recording device answered (tried the sound server and ALSA's default); choose one with --wave-in or "
            "VUMIRA_WAVE_IN (" + knownForms() + ")";
    return nullptr;
}

const DeviceKind* firstAnsweringDefaultKind() {
    const PcmShape probe{44100, 1};
    for (const auto& kind : kDevices) {
        if (!kind.triedByDefault || kind.ops == &noneSource) continue;
        PcmShape produced;
        std::string error;
        void* source = kind.ops->open("", probe, produced, error);
        if (source) {
            kind.ops->close(source);
            return &kind;
        }
    }
    return nullptr;
}

const char* firstAnsweringDefaultDevice() {
    const DeviceKind* kind = firstAnsweringDefaultKind();
    return kind ? kind->name : nullptr;
}

bool anyDefaultDeviceAnswers() { return firstAnsweringDefaultDevice() != nullptr; }

}  // namespace subset::wavein

extern "C" int Win32SubsetSetWaveIn(const char* deviceText) {
    using namespace subset::wavein;
    DeviceChoice choice;
    const bool useDefault = !deviceText || !*deviceText;
    std::string error;
    if (!useDefault && !parseDeviceText(deviceText, choice, error)) {
        std::fprintf(stderr, "wave-in: %s\n", error.c_str());
        return -1;
    }
    std::lock_guard<std::mutex> guard(choiceLock);
    programChose = !useDefault;
    programChoice = choice;
    return 0;
}

extern "C" int Win32SubsetWaveInChoice(char* device, int size) {
    using namespace subset::wavein;
    auto give = [&](const std::string& text, int chosenBy) {
        if (device && size > 0) std::snprintf(device, std::size_t(size), "%s", text.c_str());
        return chosenBy;
    };
    auto fallBack = [&] {
        const char* answering = firstAnsweringDefaultDevice();
        return give(answering ? answering : "none", WIN32SUBSET_FALLS_BACK);
    };
    DeviceChoice chosen;
    {
        std::lock_guard<std::mutex> guard(choiceLock);
        if (programChose) chosen = programChoice;
    }
    if (chosen.kind) {
        if (chosen.kind->ownSourceAnswers && !chosen.kind->ownSourceAnswers()) return fallBack();
        return give(chosen.text(), WIN32SUBSET_CHOSEN_BY_PROGRAM);
    }
    const char* variable = std::getenv("VUMIRA_WAVE_IN");
    if (variable && *variable) {
        DeviceChoice choice;
        std::string error;
        if (!parseDeviceText(variable, choice, error)) return give(variable, WIN32SUBSET_CHOICE_INVALID);
        if (choice.kind->ownSourceAnswers && !choice.kind->ownSourceAnswers()) return fallBack();
        return give(choice.text(), WIN32SUBSET_CHOSEN_BY_ENVIRONMENT);
    }
    const char* answering = firstAnsweringDefaultDevice();
    return answering ? give(answering, WIN32SUBSET_CHOSEN_BY_DEFAULT) : give("none", WIN32SUBSET_NOTHING_ANSWERS);
}

extern "C" int Win32SubsetWaveInRecordsWhatPlays(void) {
    using namespace subset::wavein;
    DeviceChoice choice;
    std::string error;
    if (!currentDeviceChoice(choice, error)) return -1;
    if (!choice.kind) choice.kind = firstAnsweringDefaultKind();
    if (!choice.kind || !choice.kind->recordsWhatPlays) return -1;
    return choice.kind->recordsWhatPlays(choice.argument);
}
