// The host on Linux: XDG folders, the subset's back ends and snapshot,
// and interrupts delivered through a pipe to a watcher thread.
#include "platform.h"

#include <win32subset.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "back_end_choice.h"
#include "host_window.h"

namespace obsidel {

std::string defaultHomeFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/obsidel";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config/obsidel";
    return ".obsidel";
}

bool makeFolder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error || !std::filesystem::is_directory(path)) {
        std::fprintf(stderr, "obsidel: cannot use the folder %s: %s\n", path.c_str(),
                     error ? error.message().c_str() : "not a folder");
        return false;
    }
    return true;
}

char pathSeparator() { return '/'; }

const char* defaultModuleName() { return "vumira.so"; }

void keepOnEveryDesktop(HWND window, bool sticky) { Win32SubsetSetSticky(window, sticky ? TRUE : FALSE); }

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string explainDisplay(const Choice& chosen) {
    const std::string name = Win32SubsetDisplayName();
    if (const std::string origin = chosen.originText(); !origin.empty()) return "display " + name + " (" + origin + ")";
    if (const std::string named = variable("VUMIRA_DISPLAY"); !named.empty())
        return "display " + name + " (VUMIRA_DISPLAY=" + named + ")";
    // The default: why it passed over the back ends before the one in use.
    Win32SubsetDisplayFacts facts{};
    Win32SubsetDescribeDisplay(nullptr, &facts);
    return *facts.passedOver ? std::string(facts.passedOver) + ": " + facts.inUse : std::string(facts.inUse);
}

// The default's choice of a device, in words, with the devices it passed over.
std::string describeDefaultDevice(const char* device) {
    Win32SubsetWaveInFacts facts{};
    Win32SubsetDescribeWaveIn(device, &facts);
    return std::string(facts.passedOver) + (*facts.passedOver ? ": " : "") + "recording from " + facts.inUse + " (" +
           device + ")";
}

std::string explainRecording(const Choice& chosen, std::string& playingHint) {
    char device[512] = {};
    std::string why;
    const std::string origin = chosen.origin == ChoiceOrigin::Environment
                                   ? "VUMIRA_WAVE_IN=" + variable("VUMIRA_WAVE_IN")
                                   : chosen.originText();
    // A first run on a machine without sound still shows the analyser at work.
    auto useDemo = [&] {
        Win32SubsetSetWaveIn("demo");
        std::snprintf(device, sizeof device, "demo");
    };
    switch (Win32SubsetWaveInChoice(device, sizeof device)) {
    case WIN32SUBSET_CHOSEN_BY_PROGRAM:
    case WIN32SUBSET_CHOSEN_BY_ENVIRONMENT: {
        // A device that says in words what a choice of it records, else its text.
        Win32SubsetWaveInFacts facts{};
        const bool described = Win32SubsetDescribeWaveIn(device, &facts) == 0 && facts.chosenAs;
        why = described ? "recording " + std::string(facts.chosenAs) : "recording from " + std::string(device);
        why += " (" + origin + ")";
        break;
    }
    case WIN32SUBSET_CHOSEN_BY_DEFAULT: why = describeDefaultDevice(device); break;
    case WIN32SUBSET_FALLS_BACK: {
        why = "the sound server has no output to record what is playing from (" + origin + "): ";
        Win32SubsetWaveInFacts facts{};
        Win32SubsetDescribeWaveIn(device, &facts);
        if (facts.recordsNothing) {
            useDemo();
            why += "using the demo signal";
        } else {
            why += "recording from " + std::string(facts.inUse) + " (" + device + ")";
        }
        break;
    }
    case WIN32SUBSET_NOTHING_ANSWERS: {
        Win32SubsetWaveInFacts facts{};
        Win32SubsetDescribeWaveIn(device, &facts);
        useDemo();
        why = std::string(*facts.passedOver ? facts.passedOver : "no recording device") +
              " answered: using the demo signal (choose a source with --wave-in)";
        break;
    }
    default: why = "VUMIRA_WAVE_IN=" + variable("VUMIRA_WAVE_IN") + " names no recording device"; break;
    }
    // Said for a microphone or line input, not for what plays, a file or a test signal.
    if (Win32SubsetWaveInRecordsWhatPlays() == 0 && firstPlayingHint()) {
        playingHint = "recording from " + std::string(device) + ", a microphone or line input; " + kPlayingHint;
        why += std::string("; ") + kPlayingHint;
    }
    return why;
}

}  // namespace

int selectBackEnds(const HostChoices& choices, std::string& playingHint) {
    // A recording device that names nothing is a mistake on the command line
    // when it was typed there; from the environment or obsidel.rc it is a
    // setting that failed.
    if (Win32SubsetSetWaveIn(choices.waveIn.forBackEnd().c_str()) != 0)
        return choices.waveIn.origin == ChoiceOrigin::CommandLine ? 2 : 1;
    if (Win32SubsetSetDisplay(choices.display.forBackEnd().c_str()) != 0) return 1;
    std::string line = explainDisplay(choices.display) + "; " + explainRecording(choices.waveIn, playingHint);
    if (const std::string style = describeStyleChoice(choices.style); !style.empty()) line += "; " + style;
    std::fprintf(stderr, "obsidel: %s\n", line.c_str());
    return 0;
}

bool displayShowsWindows() {
    Win32SubsetDisplayFacts facts{};
    return Win32SubsetDescribeDisplay(nullptr, &facts) == 0 && facts.screen != WIN32SUBSET_SCREEN_NONE;
}

bool writeScreenSnapshot(const std::string& path) { return Win32SubsetWriteScreenPng(path.c_str()) == 0; }

namespace {
int signalPipe[2] = {-1, -1};
constexpr char kClose = 1;
constexpr char kReconfigure = 2;
constexpr char kReport = 3;

void onSignal(int number) {
    const char byte = number == SIGHUP ? kReconfigure : number == SIGUSR1 ? kReport : kClose;
    ssize_t ignored = write(signalPipe[1], &byte, 1);
    (void)ignored;
}
}  // namespace

void handleSignals(HWND hostWindow) {
    if (pipe(signalPipe) != 0) return;
    // The handler only writes a byte; this thread turns it into a message
    // for the user-interface thread.
    std::thread([hostWindow] {
        char byte = 0;
        for (;;) {
            ssize_t got = read(signalPipe[0], &byte, 1);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0 || byte == kClose) break;
            if (byte == kReport) {
                // For soak runs and leak hunts: the counts a process outside cannot read.
                std::fprintf(stderr, "obsidel: user objects %lu, GDI objects %lu\n",
                             static_cast<unsigned long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)),
                             static_cast<unsigned long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)));
                continue;
            }
            PostMessageA(hostWindow, kReconfigureRequest, 0, 0);
        }
        PostMessageA(hostWindow, WM_CLOSE, 0, 0);
    }).detach();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGUSR1, &action, nullptr);
}

}  // namespace obsidel
