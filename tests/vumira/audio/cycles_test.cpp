// Many start/stop cycles on the default recording device, with buffers
// flowing now and then: every stop must bring its buffer home and end idle.
// Plain Win32: it runs on the subset's devices and, in the Windows build,
// on the system's own wave-in (under Wine, a sound server playing a tone).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/capture.h"
#include "config/plugin_state.h"
#include "plugin_reset.h"

namespace {

using vumira::plugin;
using namespace std::chrono_literals;

// Waits until the analysis has lifted band 0 from 0.
bool bandZeroLitWithin(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (plugin.bars[0].load() == 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(CaptureCycles, AThousandStartStopCyclesEndIdle) {
    capturetest::resetPluginState();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        SCOPED_TRACE(testing::Message() << "cycle " << cycle);
        ASSERT_EQ(vumira::startCapture(), 0);
        ASSERT_EQ(plugin.capturing.load(), 1);
        if (cycle % 50 == 0) {
            plugin.bars[0].store(0);
            ASSERT_TRUE(bandZeroLitWithin(5s)) << "no recorded buffer reached the analysis";
        }
        ASSERT_EQ(vumira::stopCapture(), 0);
        ASSERT_EQ(plugin.capturing.load(), 0);
        ASSERT_EQ(plugin.returnedBuffers.load(), 1);
    }
}

}  // namespace
