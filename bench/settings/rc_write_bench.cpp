// Times the rc writes of one drag step (the window's place and size, four
// WriteInt calls, as each WM_WINDOWPOSCHANGED of a drag writes them) and of
// one menu toggle (one WriteBool), on an rc file that holds every key the
// plug-in keeps, in FOLDER. Prints the median and the 99th percentile of
// each; the host's live reload watches the file as it does in the host.
//
//   rc_write_bench [--steps N] FOLDER
#include <obsidel/api.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Every key of a full rc file, as the plug-in writes them.
const char* const kKeys[] = {
    "Vumira.plugin.x:", "Vumira.plugin.y:", "Vumira.plugin.inSlit:", "Vumira.plugin.motionblur:",
    "Vumira.plugin.motionbluralpha:", "Vumira.plugin.transparency.enabled:", "Vumira.plugin.transback.enabled:",
    "Vumira.plugin.transparency.alpha:", "Vumira.plugin.alwaysontop:", "Vumira.plugin.snapwindow:",
    "Vumira.plugin.togglewithplugins:", "Vumira.plugin.update.url:", "Vumira.plugin.width:",
    "Vumira.plugin.height:", "Vumira.plugin.wave.StartWaveMonitorOnStartUp:", "Vumira.plugin.wave.buffsize:",
    "Vumira.plugin.wave.freqmin:", "Vumira.plugin.wave.freqmax:", "Vumira.plugin.wave.fps:",
    "Vumira.plugin.wave.KHz:", "Vumira.plugin.wave.bit:", "Vumira.plugin.wave.peaks:",
    "Vumira.plugin.style.peakType:", "Vumira.plugin.style.peakDrop:", "Vumira.plugin.style.maxBarHeight:",
    "Vumira.plugin.style.ScopeColor:", "Vumira.plugin.style.PeakColor:", "Vumira.plugin.style.tabPosition:",
    "Vumira.plugin.style.scopeType:", "Vumira.plugin.showBorder:"};

struct Spread {
    double median, p99;
};

Spread spread(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

template <typename Step>
std::vector<double> timeSteps(int steps, Step step) {
    std::vector<double> ms;
    for (int i = 0; i < steps; ++i) {
        const auto start = Clock::now();
        step(i);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    int steps = 200;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--steps" && i + 1 < argc) steps = std::max(1, std::atoi(argv[++i]));
        else folder = word;
    }
    if (folder.empty()) {
        std::fprintf(stderr, "usage: rc_write_bench [--steps N] FOLDER\n");
        return 2;
    }
    const std::string rc = folder + "/Vumira.rc";
    for (const char* key : kKeys) WriteInt(rc.c_str(), key, 1);
    // The plug-in reads its settings first, which is when the host starts watching the file.
    ReadInt(rc.c_str(), kKeys[0], 0);

    const auto drag = spread(timeSteps(steps, [&](int i) {
        WriteInt(rc.c_str(), "Vumira.plugin.x:", 100 + i % 50);
        WriteInt(rc.c_str(), "Vumira.plugin.y:", 200 + i % 50);
        WriteInt(rc.c_str(), "Vumira.plugin.width:", 100);
        WriteInt(rc.c_str(), "Vumira.plugin.height:", 25);
    }));
    const auto toggle = spread(timeSteps(steps, [&](int i) {
        WriteBool(rc.c_str(), "Vumira.plugin.alwaysontop:", i % 2);
    }));
    std::printf("| drag step (4 writes) | %.3f | %.3f |\n", drag.median, drag.p99);
    std::printf("| menu toggle (1 write) | %.3f | %.3f |\n", toggle.median, toggle.p99);
    return 0;
}
