// Win32SubsetSetWaveIn, Win32SubsetWaveInChoice and the choice of wave-in
// device: the device texts, the VUMIRA_WAVE_IN variable, and the default
// (the sound server, else ALSA, else none; each failure logged on standard
// error).
#include "wavein/device_table.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <win32subset.h>

#include "subset_backends.h"

namespace subset::wavein {

namespace {

// What a device records (Win32SubsetWaveInRecordsWhatPlays); a build
// without ALSA or PulseAudio leaves these unused.
[[maybe_unused]] int anInput(const std::string&) { return 0; }
[[maybe_unused]] int whatPlays(const std::string&) { return 1; }

// The default is the first device, in this order, that is tried by default
// and opens. A device whose library this build lacks has no row.
constexpr DeviceKind kDevices[] = {
#if SUBSET_HAS_PULSE
    {.name = "pulse", .usage = "pulse[:SOURCE]", .ops = &pulseSource, .triedByDefault = true,
     .recordsWhatPlays = pulseRecordsWhatPlays, .needs = "a PulseAudio or PipeWire sound server",
     .tried = "the sound server", .inUse = "the sound server's default source", .unavailable = "no sound server"},
#endif
#if SUBSET_HAS_ALSA
    {.name = "alsa", .usage = "alsa[:PCM]", .ops = &alsaSource, .triedByDefault = true, .recordsWhatPlays = anInput,
     .needs = "an ALSA capture device", .tried = "ALSA's default", .inUse = "ALSA's default device",
     .unavailable = "no ALSA device"},
#endif
#if SUBSET_HAS_PULSE
    {.name = "playing", .usage = "playing", .ops = &playingSource, .triedByDefault = false,
     .ownSourceAnswers = defaultOutputAnswers, .recordsWhatPlays = whatPlays,
     .needs = "a PulseAudio or PipeWire sound server with an output",
     .chosenAs = "what is playing on the sound server's default output"},
#endif
#if SUBSET_HAS_FILE
    {.name = "file", .usage = "file:PATH", .ops = &fileSource, .triedByDefault = false,
     .needs = "a sound file that libsndfile reads"},
#endif
    {.name = "raw", .usage = "raw:PATH[,RATE[,CHANNELS]] or raw:-", .ops = &rawSource, .triedByDefault = false,
     .needs = "a file, FIFO or standard input of raw samples"},
    {.name = "tone", .usage = "tone:HZ[+HZ...]", .ops = &toneSource, .triedByDefault = false, .needs = "nothing"},
    {.name = "demo", .usage = "demo", .ops = &demoSource, .triedByDefault = false, .needs = "nothing"},
    // Last of the default's: it always opens, and records silence.
    {.name = "none", .usage = "none", .ops = &noneSource, .triedByDefault = true, .needs = "nothing",
     .inUse = "no device (silence)", .recordsNothing = true},
};

std::mutex choiceLock;
bool programChose = false;
DeviceChoice programChoice;

// The devices that the default tries before `kind` (every one for null),
// each as `phrase` words it, joined with " and ".
std::string defaultTriesBefore(const DeviceKind* kind, const char* DeviceKind::*phrase) {
    std::string text;
    for (const auto& tried : kDevices) {
        if (&tried == kind) break;
        if (!tried.triedByDefault || !(tried.*phrase)) continue;
        text += (text.empty() ? "" : " and ") + std::string(tried.*phrase);
    }
    return text;
}

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
    const std::string tried = defaultTriesBefore(nullptr, &DeviceKind::tried);
    error = "no recording device answered" + (tried.empty() ? "" : " (tried " + tried + ")") +
            "; choose one with --wave-in or VUMIRA_WAVE_IN (" + knownForms() + ")";
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

extern "C" int Win32SubsetDescribeWaveIn(const char* device, Win32SubsetWaveInFacts* facts) {
    using namespace subset::wavein;
    DeviceChoice choice;
    std::string error;
    if (!device || !facts || !parseDeviceText(device, choice, error)) return -1;
    const DeviceKind& kind = *choice.kind;
    facts->name = kind.name;
    facts->usage = kind.usage;
    facts->needs = kind.needs;
    facts->inUse = kind.inUse ? kind.inUse : kind.name;
    facts->chosenAs = kind.chosenAs;
    facts->recordsNothing = kind.recordsNothing ? 1 : 0;
    const std::string passedOver = kind.triedByDefault ? defaultTriesBefore(&kind, &DeviceKind::unavailable) : "";
    std::snprintf(facts->passedOver, sizeof facts->passedOver, "%s", passedOver.c_str());
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
