// The log-band spectrum's accuracy on generated sound, recorded through the
// real path: a WAV file in a temporary folder, the subset's file device at
// 48 kHz, the plug-in's capture and its per-frame analysis. Expected values
// come from the signals and the standards (reference figures beside each
// table), never from the program's own output.
#include <gtest/gtest.h>

#include <win32subset.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "audio/capture.h"
#include "audio/log_spectrum.h"
#include "config/plugin_state.h"
#include "plugin_reset.h"
#include "signal/bands.h"
#include "test_signals.h"
#include "test_support.h"

namespace {

using vumira::plugin;
using namespace std::chrono_literals;

constexpr int kRate = 48000;
constexpr int kFrameMs = 16;  // about 60 frames a second
// The lower edge of the ISO 50 Hz band: with it the third-octave bands are
// the ISO ones, band k centred on 50 · 2^(k/3) Hz.
const double kIsoLowHz = 50.0 / std::exp2(1.0 / 6.0);

double isoCentre(int k) { return 50.0 * std::exp2(k / 3.0); }

class LogSpectrum : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Win32SubsetSetDisplay("headless"), 0); }
    void SetUp() override {
        capturetest::resetPluginState();
        Win32SubsetClearMessageBoxes();
        plugin.spectrum.logScale.store(1);
        plugin.spectrum.lowHz.store(static_cast<float>(kIsoLowHz));
        plugin.spectrum.highHz.store(16000);
        plugin.spectrum.bandsPerOctave.store(3);
        plugin.spectrum.points.store(4096);
        plugin.frameIntervalMs.store(kFrameMs);
    }
    void TearDown() override {
        vumira::stopCapture();
        Win32SubsetSetWaveIn(nullptr);
    }

    std::string wave(const std::string& name, const std::vector<double>& samples) {
        const std::string path = folder_.file(name);
        testsignals::writeWave16(path, kRate, samples);
        return path;
    }

    // Records the file and calls `onFrame` with the frame's number (from 0,
    // the first frame whose window is full of the file's sound) for each of
    // `frames` frames; the call returns false to stop early.
    void record(const std::string& path, int frames, const std::function<bool(int)>& onFrame) {
        ASSERT_EQ(Win32SubsetSetWaveIn(("file:" + path).c_str()), 0);
        ASSERT_EQ(vumira::startCapture(), 0);
        ASSERT_TRUE(plugin.logSpectrum.recording.load()) << "the capture records for the log bands";
        const auto points = static_cast<unsigned>(plugin.spectrum.points.load());
        const unsigned filling = points * 1000 / kRate / kFrameMs + 2;
        unsigned seen = 0;
        int frame = 0;
        const auto giveUp = std::chrono::steady_clock::now() + 30s;
        while (frame < frames && std::chrono::steady_clock::now() < giveUp) {
            const unsigned now = plugin.logSpectrum.frames.load();
            if (now == seen) {
                std::this_thread::sleep_for(1ms);
                continue;
            }
            seen = now;
            if (now <= filling) continue;
            if (!onFrame(frame++)) break;
        }
        vumira::stopCapture();
        EXPECT_EQ(Win32SubsetMessageBoxCount(), 0);
        EXPECT_GT(frame, 0) << "no frames came";
    }

    int bandCount() const { return plugin.logSpectrum.bandCount.load(); }
    double level(int k) const { return plugin.logSpectrum.levelsDb[k].load(); }

    // Each band's level averaged as power over `frames` frames.
    std::vector<double> averageLevels(const std::string& path, int frames) {
        std::vector<double> power;
        int counted = 0;
        record(path, frames, [&](int) {
            power.resize(bandCount(), 0.0);
            for (int k = 0; k < bandCount(); ++k) power[k] += std::pow(10.0, level(k) / 10.0);
            ++counted;
            return true;
        });
        for (double& p : power) p = 10.0 * std::log10(p / std::max(counted, 1));
        return power;
    }

    testsupport::TempDir folder_;
};

int loudestOf(const std::vector<double>& levels) {
    return static_cast<int>(std::max_element(levels.begin(), levels.end()) - levels.begin());
}

TEST_F(LogSpectrum, ASineAtABandsCentreLightsThatBandHighest) {
    // Third-octave bands from the ISO 50 Hz band up to the one that holds
    // 16 kHz (26 bands), 4096 points: every ISO band from 250 Hz (band 7)
    // to 12.5 kHz (band 24), and 15 kHz, which lies in the 16 kHz band
    // (14.1 .. 17.8 kHz).
    struct Case {
        double hz;
        int band;
    };
    std::vector<Case> cases;
    for (int k = 7; k <= 24; ++k) cases.push_back({isoCentre(k), k});
    cases.push_back({15000, 25});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hz << " Hz");
        const auto levels = averageLevels(wave("tone.wav", testsignals::sine(c.hz, -6, kRate, 1.0)), 6);
        ASSERT_EQ(levels.size(), 26u);
        EXPECT_EQ(loudestOf(levels), c.band) << "band " << c.band << " reads " << levels[c.band] << " dB";
        // The neighbours lie well below: the band stands out, not a hill.
        for (int k : {c.band - 1, c.band + 1}) {
            if (k >= 0 && k < 26) {
                EXPECT_LT(levels[k], levels[c.band] - 10) << "band " << k;
            }
        }
    }
}

TEST_F(LogSpectrum, SinesReadTheirLevelInDecibelsOfFullScale) {
    // A sine of peak A reads 20·log10(A) dB: full scale 0 dB (AES17).
    struct Case {
        int band;  // the sine sits at its centre
        double dbfs;
    };
    const std::vector<Case> cases = {{13, 0}, {13, -20}, {13, -40}, {22, 0}, {22, -20}, {22, -40}, {10, -20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dbfs << " dBFS at " << isoCentre(c.band) << " Hz");
        const auto levels =
            averageLevels(wave("level.wav", testsignals::sine(isoCentre(c.band), c.dbfs, kRate, 1.0)), 8);
        ASSERT_GT(levels.size(), static_cast<std::size_t>(c.band));
        EXPECT_NEAR(levels[c.band], c.dbfs, 1.0);
    }
}

TEST_F(LogSpectrum, PinkNoiseReadsFlatAndWhiteNoiseRisesOneDecibelPerThirdOctave) {
    // Equal power per octave gives every third-octave band the same power;
    // equal power per hertz gives each band 2^(1/3) times the power of the
    // one below: 10·log10(2^(1/3)) = 1.0 dB more.
    struct Case {
        const char* name;
        int slope;             // 0 white, -1 pink
        double risePerBand;    // dB
    };
    const std::vector<Case> cases = {{"pink", -1, 0.0}, {"white", 0, 10 * std::log10(std::exp2(1.0 / 3))}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto noise = testsignals::periodicNoise(c.slope, 20, 20000, -20, kRate, 1 << 16);
        const auto levels = averageLevels(wave(std::string(c.name) + ".wav", noise), 60);
        ASSERT_EQ(levels.size(), 26u);
        // Flat, or on a line of the expected slope, within 1 dB in every band.
        double offset = 0;
        for (std::size_t k = 0; k < levels.size(); ++k) offset += levels[k] - c.risePerBand * static_cast<double>(k);
        offset /= static_cast<double>(levels.size());
        for (std::size_t k = 0; k < levels.size(); ++k)
            EXPECT_NEAR(levels[k], offset + c.risePerBand * static_cast<double>(k), 1.0)
                << "band " << k << " at " << isoCentre(static_cast<int>(k)) << " Hz";
    }
}

TEST_F(LogSpectrum, AWeightingFollowsTheStandardsTable) {
    // IEC 61672-1: -19.1 dB at 100 Hz, 0.0 at 1 kHz, -2.5 at 10 kHz. The
    // same sine is read without and with the weighting; 16384 points keep
    // the 100 Hz sine inside its band.
    struct Case {
        double hz;
        double weightDb;
    };
    const std::vector<Case> cases = {{100, -19.1}, {1000, 0.0}, {10000, -2.5}};
    plugin.spectrum.points.store(16384);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hz << " Hz");
        const std::string path = wave("weighted.wav", testsignals::sine(c.hz, -10, kRate, 2.0));
        const int band = static_cast<int>(std::floor(3 * std::log2(c.hz / kIsoLowHz)));
        double plain = 0, weighted = 0;
        record(path, 24, [&](int frame) {
            // Frames 0-7 plain; the weighting is switched on live, and two
            // frames later it shows in frames 10-23.
            if (frame < 8) plain += level(band) / 8;
            if (frame == 8) plugin.spectrum.aWeighting.store(1);
            if (frame >= 10) weighted += level(band) / 14;
            return true;
        });
        plugin.spectrum.aWeighting.store(0);
        EXPECT_NEAR(weighted - plain, c.weightDb, 0.5);
        EXPECT_NEAR(plain, -10, 1.0);
    }
}

TEST_F(LogSpectrum, AutoGainLiftsAQuietProgrammeNearFullScaleWithoutPassingIt) {
    // A -30 dBFS sine: within 6 dB of full scale in at most 3 s of sound,
    // never above full scale, and steady once there (no pumping).
    plugin.spectrum.autoGain.store(1);
    const std::string path = wave("quiet.wav", testsignals::sine(isoCentre(13), -30, kRate, 8.0));
    int reached = -1;
    double highest = -300;
    std::vector<double> settledGain;
    record(path, 300, [&](int frame) {
        const double loudest = plugin.logSpectrum.loudestShownDb.load();
        highest = std::max(highest, loudest);
        if (reached < 0 && loudest >= -6) reached = frame;
        if (reached >= 0 && frame >= reached + 60) settledGain.push_back(plugin.logSpectrum.shownGainDb.load());
        return frame < 4000 / kFrameMs;  // about 4 s of sound
    });
    ASSERT_GE(reached, 0) << "the programme never came within 6 dB of full scale; loudest " << highest;
    EXPECT_LE(reached * kFrameMs, 3000) << "took " << reached * kFrameMs << " ms";
    EXPECT_LE(highest, 0.0) << "the gain lifted the programme above full scale";
    ASSERT_FALSE(settledGain.empty());
    const auto [low, high] = std::minmax_element(settledGain.begin(), settledGain.end());
    EXPECT_LT(*high - *low, 0.5) << "the gain moves on a steady tone";
}

TEST_F(LogSpectrum, AutoGainHoldsThroughSilenceWhichShowsEmptyBars) {
    // Three seconds of a -30 dBFS sine, then two of digital silence.
    plugin.spectrum.autoGain.store(1);
    auto samples = testsignals::sine(isoCentre(13), -30, kRate, 3.0);
    samples.resize(samples.size() * 5 / 3, 0.0);
    const std::string path = wave("pause.wav", samples);
    double gainBeforeSilence = 0;
    std::vector<int> lastBars;
    double gainInSilence = 0;
    // Frames run from about 0.1 s of sound; the silence fills the window
    // from about 3.1 s.
    record(path, 4600 / kFrameMs, [&](int frame) {
        const int ms = frame * kFrameMs;
        if (ms < 2800) gainBeforeSilence = plugin.logSpectrum.shownGainDb.load();
        if (ms >= 3800) {
            gainInSilence = plugin.logSpectrum.shownGainDb.load();
            lastBars.assign(static_cast<std::size_t>(bandCount()), 0);
            for (int k = 0; k < bandCount(); ++k) lastBars[k] = plugin.logSpectrum.bars[k].load();
        }
        return true;
    });
    EXPECT_GT(gainBeforeSilence, 20.0) << "the gain lifted the quiet tone";
    // The fading end of the tone may lift it a little, as the envelope falls; silence itself lifts nothing.
    EXPECT_NEAR(gainInSilence, gainBeforeSilence, 1.0) << "the gain held through the silence";
    ASSERT_FALSE(lastBars.empty());
    for (std::size_t k = 0; k < lastBars.size(); ++k) EXPECT_EQ(lastBars[k], 0) << "band " << k;
}

}  // namespace
