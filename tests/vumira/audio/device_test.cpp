// Capture on the Win32 subset's own wave-in devices and message boxes: the
// devices that cannot open, and what the bars of a pure tone look like.
//
// The analysis reads the recorded bytes one by one as signed magnitudes, so
// a tone does not show at its own frequency. At 8 bits a sample s (around
// the centre 128) reads as 128 - |s|: an upside-down rectified sine, whose
// strongest part lies at twice the tone's frequency. Consecutive samples
// pair up as the real and imaginary parts of one point, so a buffer of 256
// bytes is 128 points, at half the sample rate. And since every part of a
// periodic signal falls on a multiple of the points per period, all other
// bands stay at 0.
#include <gtest/gtest.h>

#include <win32subset.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "audio/capture.h"
#include "config/plugin_state.h"
#include "plugin_reset.h"

namespace {

using vumira::plugin;
using namespace std::chrono_literals;

class DeviceCapture : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Win32SubsetSetDisplay("headless"), 0); }
    void SetUp() override {
        capturetest::resetPluginState();
        Win32SubsetClearMessageBoxes();
    }
    void TearDown() override {
        vumira::stopCapture();
        Win32SubsetSetWaveIn(nullptr);
    }
};

TEST_F(DeviceCapture, ADeviceThatDoesNotOpenIsReportedAndLeavesCaptureIdle) {
    struct Refused {
        const char* device;
        int kiloHertz, bits;
    };
    const std::vector<Refused> cases = {
        {"none", 16, 16},
        {"tone:1000", 500, 16},  // 500000 samples a second: no such format
        {"tone:1000", 16, 24},   // 24 bits: no such format
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(testing::Message() << c.device << " at " << c.kiloHertz << " kHz, " << c.bits << " bits");
        Win32SubsetClearMessageBoxes();
        ASSERT_EQ(Win32SubsetSetWaveIn(c.device), 0);
        plugin.sampleRateKHz = c.kiloHertz;
        plugin.bitsPerSample = c.bits;
        EXPECT_EQ(vumira::startCapture(), 1);
        EXPECT_EQ(plugin.capturing.load(), 0);
        ASSERT_EQ(Win32SubsetMessageBoxCount(), 1);
        EXPECT_STREQ(Win32SubsetMessageBoxText(0), "Can't open WAVE In Device!");
        EXPECT_STREQ(Win32SubsetMessageBoxCaption(0), "Vumira 0.1.0");
        EXPECT_EQ(Win32SubsetMessageBoxType(0), 0x40010u);
        EXPECT_EQ(vumira::stopCapture(), 1);
    }
}

TEST_F(DeviceCapture, APureToneLightsOnlyItsHarmonicBandsStrongestAtTwiceItsFrequency) {
    struct ToneCase {
        const char* device;
        int kiloHertz, bits;
        // Points per period of the recorded bytes give the spacing of the
        // bands that may light (two bands, real and imaginary, per point).
        int spacing;
        // Where the strongest band beyond the two of the mean lies, when the
        // rules predict it.
        std::vector<int> strongest;
        bool meanPredicted;  // bands 0 and 1: the mean magnitude of the bytes
    };
    const std::vector<ToneCase> cases = {
        // 250 Hz at 8000 a second: 32 samples, 16 points a period; 128 points
        // give parts at multiples of 8 points (bands 16m and 16m + 1). Twice
        // the tone lies at point 16 and its mirror 112: bands 32, 33, 224,
        // 225.
        {"tone:250", 8, 8, 16, {32, 33, 224, 225}, true},
        // 500 Hz: 16 samples, 8 points a period: bands 32m and 32m + 1;
        // twice the tone at points 32 and 96: bands 64, 65, 192, 193.
        {"tone:500", 8, 8, 32, {64, 65, 192, 193}, true},
        // 16 bits: each sample is one point (low byte real, high byte
        // imaginary); 1000 Hz at 16000 a second repeats every 16 points,
        // so only bands 16m and 16m + 1 light. Which of them is strongest
        // depends on the low bytes, which the rules do not make simple.
        {"tone:1000", 16, 16, 16, {}, false},
    };
    for (const ToneCase& c : cases) {
        SCOPED_TRACE(c.device);
        capturetest::resetPluginState();
        ASSERT_EQ(Win32SubsetSetWaveIn(c.device), 0);
        plugin.sampleRateKHz = c.kiloHertz;
        plugin.bitsPerSample = c.bits;
        plugin.bufferSize = 256;
        plugin.freqMin.store(0);
        plugin.freqMax.store(255);
        plugin.height.store(64);  // with maxBarHeight 64: one pixel per unit
        ASSERT_EQ(vumira::startCapture(), 0);
        // Long enough for many buffers, so that any start-up bars have decayed.
        std::this_thread::sleep_for(1500ms);
        std::vector<int> bars(255);
        for (int band = 0; band < 255; ++band) bars[band] = plugin.bars[band].load();
        vumira::stopCapture();
        EXPECT_EQ(Win32SubsetMessageBoxCount(), 0);

        for (int band = 2; band < 255; ++band) {
            if (band % c.spacing > 1) {
                EXPECT_EQ(bars[band], 0) << "band " << band << " is no harmonic of the tone";
            }
        }
        int lit = 0;
        for (int band = 2; band < 255; ++band) lit += bars[band] > 0;
        EXPECT_GT(lit, 0) << "no harmonic band lit";
        if (!c.strongest.empty()) {
            const int loudest = static_cast<int>(std::max_element(bars.begin() + 2, bars.end()) - bars.begin());
            EXPECT_NE(std::find(c.strongest.begin(), c.strongest.end(), loudest), c.strongest.end())
                << "the strongest band is " << loudest << " at " << bars[loudest];
        }
        if (c.meanPredicted) {
            // Band 0 is the mean of the even bytes, band 1 of the odd ones;
            // together they average 128 - 63.5 * (mean of |sin|), about
            // 128 - 127/pi = 87.6 for a tone at half of full scale.
            EXPECT_NEAR((bars[0] + bars[1]) / 2.0, 87.6, 1.0);
        }
    }
}

}  // namespace
