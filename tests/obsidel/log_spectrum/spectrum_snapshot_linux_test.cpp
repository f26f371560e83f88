// The log-band spectrum as the Linux host draws it: the screen that
// `--snapshot` writes, read back from the PNG. A flat style without border
// or bevel puts band k of n in columns k·W/n .. (k+1)·W/n of the window,
// and a bar's height is the count of its colour's pixels in a column.
#include <png.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "running_host.h"
#include "test_signals.h"

namespace {

using testsupport::Finished;
using testsupport::HostSetup;
using testsupport::RunningHost;

constexpr unsigned kBarColour = 0x00ff00;
constexpr int kHeight = 90;

// Background black, bars green, no border or bevel: the window's whole
// client area is the bands' drawing area.
std::string flatStyle() {
    return "toolbar: flat solid\n"
           "toolbar.color: #000000\n"
           "toolbar.colorTo: #000000\n"
           "toolbar.textColor: #00ff00\n"
           "borderColor: #ff0000\n"
           "borderWidth: 0\n"
           "bevelWidth: 0\n";
}

// The rc file: the window at the screen's corner, `width` wide, and the keys given.
std::string rcFile(int width, const std::string& keys) {
    return "Vumira.plugin.x: 0\nVumira.plugin.y: 0\nVumira.plugin.width: " + std::to_string(width) +
           "\nVumira.plugin.height: " + std::to_string(kHeight) + "\n" + keys;
}

// The height of each of `bands` bars in a snapshot whose window is `width` wide at (0, 0).
std::vector<int> barHeights(const std::string& shot, int width, int bands) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, shot.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    std::vector<int> heights(static_cast<std::size_t>(bands), 0);
    for (int k = 0; k < bands; ++k) {
        for (int x = k * width / bands; x < (k + 1) * width / bands; ++x) {
            int column = 0;
            for (int y = 0; y < kHeight; ++y) {
                const unsigned char* rgb = &pixels[(static_cast<std::size_t>(y) * image.width + x) * 3];
                column += (unsigned(rgb[0]) << 16 | unsigned(rgb[1]) << 8 | unsigned(rgb[2])) == kBarColour;
            }
            heights[k] = std::max(heights[k], column);
        }
    }
    return heights;
}

int tallest(const std::vector<int>& heights) {
    return static_cast<int>(std::max_element(heights.begin(), heights.end()) - heights.begin());
}

class SpectrumSnapshot : public testing::Test {
protected:
    // Runs the host for `ms` on `waveIn` with the rc file given, and reads
    // the bars of its snapshot.
    std::vector<int> snapshot(const std::string& waveIn, const std::string& rc, int width, int bands, int ms = 2500) {
        const std::string style = folder_.file("flat.style"), shot = folder_.file("shot.png");
        testsupport::writeFile(style, flatStyle());
        HostSetup setup;
        setup.rc = rc;
        setup.arguments = {"--style", style, "--wave-in", waveIn, "--exit-after", std::to_string(ms), "--snapshot", shot};
        RunningHost host(setup);
        EXPECT_TRUE(host.ready()) << host.log();
        EXPECT_EQ(host.waitUntilEnded(), 0) << host.log();
        return barHeights(shot, width, bands);
    }

    testsupport::TempDir folder_;
};

// Third-octave bands on the ISO centres from 50 Hz to 16 kHz: 26 bands of 8 pixels.
const std::string kThirdOctaves =
    "Vumira.plugin.spectrum.scale: log\n"
    "Vumira.plugin.spectrum.lowHz: 44.6683\n"
    "Vumira.plugin.spectrum.highHz: 16000\n"
    "Vumira.plugin.spectrum.bandsPerOctave: 3\n"
    "Vumira.plugin.spectrum.floorDb: -60\n";
constexpr int kThirdOctaveBands = 26;
constexpr int kThirdOctaveWidth = kThirdOctaveBands * 8;

TEST_F(SpectrumSnapshot, AToneAtABandsCentreDrawsThatBandTallest) {
    struct Case {
        const char* tone;
        int band;  // ISO centre 50 · 2^(band/3) Hz
    };
    const std::vector<Case> cases = {{"tone:251.98", 7}, {"tone:1007.94", 13}, {"tone:4031.75", 19},
                                     {"tone:12699.2", 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tone);
        const auto bars = snapshot(c.tone, rcFile(kThirdOctaveWidth, kThirdOctaves), kThirdOctaveWidth,
                                   kThirdOctaveBands);
        ASSERT_EQ(bars.size(), static_cast<std::size_t>(kThirdOctaveBands));
        EXPECT_EQ(tallest(bars), c.band);
        // The tone source plays at half of full scale, -6 dBFS: 54 of 60 dB
        // above the floor; the bar's base row lies below the window.
        EXPECT_NEAR(bars[c.band], kHeight * 54 / 60 - 1, 1);
    }
}

TEST_F(SpectrumSnapshot, SinesTwentyDecibelsApartStepDownByThirdsOfTheBar) {
    // With floorDb -60, 0, -20 and -40 dBFS make bars of 3, 2 and 1 thirds
    // of the window's height. The base line lies on the window's bottom
    // edge, as in the exact mode, so a bar of n pixels shows n - 1 rows.
    struct Case {
        double dbfs;
        int rows;
    };
    const std::vector<Case> cases = {{0, kHeight - 1}, {-20, kHeight * 2 / 3 - 1}, {-40, kHeight / 3 - 1}};
    std::vector<int> shown;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dbfs << " dBFS");
        const std::string wave = folder_.file("sine.wav");
        testsignals::writeWave16(wave, 48000, testsignals::sine(50 * std::exp2(13 / 3.0), c.dbfs, 48000, 2.0));
        const auto bars = snapshot("file:" + wave, rcFile(kThirdOctaveWidth, kThirdOctaves), kThirdOctaveWidth,
                                   kThirdOctaveBands);
        ASSERT_EQ(bars.size(), static_cast<std::size_t>(kThirdOctaveBands));
        EXPECT_EQ(tallest(bars), 13);
        EXPECT_NEAR(bars[13], c.rows, 1);
        shown.push_back(bars[13]);
    }
    // Equal steps of a third.
    EXPECT_NEAR(shown[0] - shown[1], kHeight / 3, 1);
    EXPECT_NEAR(shown[1] - shown[2], kHeight / 3, 1);
}

TEST_F(SpectrumSnapshot, AnEditOfTheRcFileOrACommandSwitchesTheRunningHostToTheLogBands) {
    // Octave bands from 40 Hz: 40, 80, 160, 320, 640 ... up to 16 kHz, 9
    // bands; the host's tone of 440 Hz lies in the fourth (320 .. 640 Hz).
    const std::string keys =
        "Vumira.plugin.spectrum.scale: log\n"
        "Vumira.plugin.spectrum.lowHz: 40\n"
        "Vumira.plugin.spectrum.bandsPerOctave: 1\n";
    constexpr int kBands = 9, kWidth = 90;
    for (const bool byCommand : {false, true}) {
        SCOPED_TRACE(byCommand ? "by commands" : "by an edit of the rc file");
        const std::string style = folder_.file("flat.style"), shot = folder_.file("switched.png");
        testsupport::writeFile(style, flatStyle());
        HostSetup setup;
        setup.rc = rcFile(kWidth, "");
        setup.arguments = {"--style", style, "--exit-after", "6000", "--snapshot", shot};
        RunningHost host(setup);
        ASSERT_TRUE(host.ready()) << host.log();
        if (byCommand) {
            for (const char* command : {"SpectrumLowHz 40", "SpectrumBandsPerOctave 1", "SpectrumScale log"}) {
                Finished sent = host.run({"--exec", std::string("@VumiraInternal ") + command});
                EXPECT_EQ(sent.status, 0) << sent.err;
            }
        } else {
            testsupport::writeFile(host.rcPath(), rcFile(kWidth, keys));
            EXPECT_TRUE(host.logShows("changed from outside: " + host.rcPath())) << host.log();
        }
        EXPECT_EQ(host.waitUntilEnded(), 0) << host.log();
        const auto bars = barHeights(shot, kWidth, kBands);
        ASSERT_EQ(bars.size(), static_cast<std::size_t>(kBands));
        EXPECT_EQ(tallest(bars), 3);
        EXPECT_GT(bars[3], kHeight / 2);
    }
}

}  // namespace
