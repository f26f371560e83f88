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

std::string explainDisplay(const std::string& chosen) {
    const std::string name = Win32SubsetDisplayName();
    if (!chosen.empty()) return "display " + name + " (--display " + chosen + ")";
    if (const std::string named = variable("VUMIRA_DISPLAY"); !named.empty())
        return "display " + name + " (VUMIRA_DISPLAY=" + named + ")";
    // The default: why it passed over the back ends before the one in use.
    Win32SubsetDisplayFacts facts{};
    Win32SubsetDescribeDisplay(nullptr, &facts);
    return *facts.passedOver ? std::string(facts.passedOver) + ": " + facts.inUse : std::string(facts.inUse);
}

std::string explainRecording(const std::string& chosen) {
    char device[512] = {};
    std::string why;
    switch (Win32SubsetWaveInChoice(device, sizeof device)) {
    case WIN32SUBSET_CHOSEN_BY_PROGRAM:
        why = "recording from " + std::string(device) + " (--wave-in " + chosen + ")";
        break;
    case WIN32SUBSET_CHOSEN_BY_ENVIRONMENT:
        why = "recording from " + std::string(device) + " (VUMIRA_WAVE_IN=" + variable("VUMIRA_WAVE_IN") + ")";
        break;
    case WIN32SUBSET_CHOSEN_BY_DEFAULT: {
        Win32SubsetWaveInFacts facts{};
        Win32SubsetDescribeWaveIn(device, &facts);
        why = std::string(facts.passedOver) + (*facts.passedOver ? ": " : "") + "recording from " + facts.inUse +
              " (" + device + ")";
        break;
    }
    case WIN32SUBSET_NOTHING_ANSWERS: {
        Win32SubsetWaveInFacts facts{};
        Win32SubsetDescribeWaveIn(device, &facts);
        // A first run on a machine without sound still shows the analyser at work.
        Win32SubsetSetWaveIn("demo");
        std::snprintf(device, sizeof device, "demo");
        why = std::string(*facts.passedOver ? facts.passedOver : "no recording device") +
              " answered: using the demo signal (choose a source with --wave-in)";
        break;
    }
    default: why = "VUMIRA_WAVE_IN=" + variable("VUMIRA_WAVE_IN") + " names no recording device"; break;
    }
    // A microphone or line input: say how to record what is playing instead.
    Win32SubsetWaveInFacts facts{};
    if (Win32SubsetDescribeWaveIn(device, &facts) == 0 && facts.records == WIN32SUBSET_RECORDS_INPUT &&
        *facts.recordsPlayingWith)
        why += std::string("; to record what is playing: --wave-in ") + facts.recordsPlayingWith;
    return why;
}

}  // namespace

bool selectBackEnds(const std::string& display, const std::string& waveIn) {
    if (Win32SubsetSetDisplay(display.c_str()) != 0 || Win32SubsetSetWaveIn(waveIn.c_str()) != 0) return false;
    const std::string line = explainDisplay(display) + "; " + explainRecording(waveIn);
    std::fprintf(stderr, "obsidel: %s\n", line.c_str());
    return true;
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
