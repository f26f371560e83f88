// Ten thousand start/stop cycles on the default recording device (a tone):
// the process's open files and threads are the same afterwards, and its
// resident memory stays within a little of where it was after a warm-up.
// Prints the figures.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "audio/capture.h"
#include "config/plugin_state.h"
#include "plugin_reset.h"

namespace {

using vumira::plugin;

struct Resources {
    long residentKb = 0;
    long threads = 0;
    long openFiles = 0;
};

Resources resourcesNow() {
    Resources now;
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") status >> now.residentKb;
        if (word == "Threads:") status >> now.threads;
    }
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++now.openFiles;
    }
    return now;
}

TEST(CaptureCycles, TenThousandCyclesLeaveFilesThreadsAndMemoryFlat) {
    constexpr int kWarmUp = 500;
    constexpr int kCycles = 10000;
    // Allocator and page-cache noise, far below what a leak of one buffer,
    // header or device a cycle would add over ten thousand cycles.
    constexpr long kResidentSlackKb = 1024;
    capturetest::resetPluginState();
    Resources before;
    for (int cycle = 0; cycle < kWarmUp + kCycles; ++cycle) {
        if (cycle == kWarmUp) before = resourcesNow();
        ASSERT_EQ(vumira::startCapture(), 0) << "cycle " << cycle;
        ASSERT_EQ(vumira::stopCapture(), 0) << "cycle " << cycle;
        ASSERT_EQ(plugin.returnedBuffers.load(), 1) << "cycle " << cycle;
    }
    const Resources after = resourcesNow();
    std::printf("after %d cycles: resident %ld -> %ld kB, threads %ld -> %ld, open files %ld -> %ld\n", kCycles,
                before.residentKb, after.residentKb, before.threads, after.threads, before.openFiles, after.openFiles);
    EXPECT_EQ(after.openFiles, before.openFiles);
    EXPECT_EQ(after.threads, before.threads);
#ifdef __SANITIZE_ADDRESS__
    // The address sanitizer keeps freed blocks in quarantine (up to 256 MB),
    // so resident memory grows with every free; its leak check at exit
    // stands in for this one.
    (void)kResidentSlackKb;
#else
    EXPECT_LE(after.residentKb, before.residentKb + kResidentSlackKb);
#endif
}

}  // namespace
