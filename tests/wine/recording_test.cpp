// Recording through Wine's own wave-in (winmm over its PulseAudio driver),
// from a sound server whose default source hears a steady tone: first with
// the plain waveIn calls, then with the plug-in's capture and analysis.
// The Wine stage starts that server and names the tone's frequency in
// VUMIRA_WINE_TONE_HZ. The server may take a second or two before it
// delivers, so the tests wait for data, never for a fixed time.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "audio/capture.h"
#include "config/plugin_state.h"
#include "message_box_guard.h"
#include "test_support.h"

namespace vumira {
PluginState plugin;
}

namespace {

constexpr DWORD kDataDeadlineMs = 20000;

int toneHz() {
    const char* text = std::getenv("VUMIRA_WINE_TONE_HZ");
    return text ? std::atoi(text) : 0;
}

bool waitUntil(const std::function<bool()>& done, DWORD deadlineMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > deadlineMs) return false;
        Sleep(10);
    }
    return true;
}

TEST(WineWaveIn, RecordsTheToneFromTheDefaultDevice) {
    const int expectedHz = toneHz();
    SKIP_OR_FAIL_WITHOUT(expectedHz > 0, "a sound server playing a known tone (VUMIRA_WINE_TONE_HZ)");
    ASSERT_GT(waveInGetNumDevs(), 0u) << "Wine sees no recording device";

    constexpr DWORD kRate = 16000;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = kRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = kRate * 2;

    HANDLE filled = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEIN device = nullptr;
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(filled), 0, CALLBACK_EVENT),
              MMSYSERR_NOERROR);
    // A quarter of a second of sound.
    std::vector<short> samples(kRate / 4);
    WAVEHDR header{};
    header.lpData = reinterpret_cast<LPSTR>(samples.data());
    header.dwBufferLength = static_cast<DWORD>(samples.size() * sizeof(short));
    ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);

    bool done = waitUntil(
        [&] {
            WaitForSingleObject(filled, 50);
            return (header.dwFlags & WHDR_DONE) != 0;
        },
        kDataDeadlineMs);
    waveInReset(device);
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
    CloseHandle(filled);
    ASSERT_TRUE(done) << "no recorded buffer within " << kDataDeadlineMs << " ms";
    ASSERT_EQ(header.dwBytesRecorded, header.dwBufferLength);

    // The tone's frequency from its sign changes: two a period.
    int crossings = 0;
    int loudest = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
        loudest = std::max(loudest, std::abs(static_cast<int>(samples[i])));
    }
    const double seconds = static_cast<double>(samples.size()) / kRate;
    EXPECT_NEAR(crossings / 2.0 / seconds, expectedHz, expectedHz * 0.03);
    EXPECT_GT(loudest, 1000) << "the recording is nearly silent";
}

// The plug-in's own capture: the device opens, the buffer travels between
// the device and the analysis until the tone shows in the bars, and the
// stop brings the buffer home, with no message box on the way.
TEST(WineWaveIn, PluginCaptureShowsTheToneAndStopsCleanly) {
    SKIP_OR_FAIL_WITHOUT(toneHz() > 0, "a sound server playing a known tone (VUMIRA_WINE_TONE_HZ)");
    winetest::MessageBoxGuard boxes;
    auto& p = vumira::plugin;
    p.bufferSize = 256;
    p.sampleRateKHz = 16;
    p.bitsPerSample = 16;
    p.freqMin = 0;
    p.freqMax = 32;
    p.height = 25;
    p.maxBarHeight = 64;
    p.scopeType.set("h");
    for (auto& bar : p.bars) bar = 0;

    ASSERT_EQ(vumira::startCapture(), 0);
    EXPECT_EQ(p.capturing.load(), 1);
    EXPECT_NE(p.waveInHandle.load(), nullptr);
    bool barsRose = waitUntil(
        [&] {
            for (int i = 0; i < 32; ++i)
                if (p.bars[i].load() > 0) return true;
            return false;
        },
        kDataDeadlineMs);

    EXPECT_EQ(vumira::stopCapture(), 0);
    EXPECT_TRUE(barsRose) << "no bar rose within " << kDataDeadlineMs << " ms of recording";
    EXPECT_EQ(p.capturing.load(), 0);
    EXPECT_EQ(p.returnedBuffers.load(), 1) << "the stop must bring the buffer home";
    EXPECT_EQ(p.waveInHandle.load(), nullptr);
    EXPECT_TRUE(boxes.shown().empty()) << boxes.describe();
}

TEST(WineWaveIn, LogBandsShowTheToneInItsBand) {
    // The log-band spectrum records at 48 kHz through Wine's wave-in: the
    // octave band that holds the stage's tone reads loudest.
    const int hz = toneHz();
    SKIP_OR_FAIL_WITHOUT(hz > 0, "a sound server playing a known tone (VUMIRA_WINE_TONE_HZ)");
    winetest::MessageBoxGuard boxes;
    auto& p = vumira::plugin;
    p.frameIntervalMs = 20;
    p.width = 100;
    p.height = 25;
    p.scopeType.set("h");
    p.spectrum.logScale = 1;
    p.spectrum.points = 4096;
    p.spectrum.lowHz = 44.19417f;  // 31.25 · √2: octave bands centred on 62.5 Hz · 2^k, 1 kHz among them
    p.spectrum.highHz = 16000;
    p.spectrum.bandsPerOctave = 1;

    ASSERT_EQ(vumira::startCapture(), 0);
    ASSERT_TRUE(p.logSpectrum.recording.load());
    const bool framesCame = waitUntil([&] { return p.logSpectrum.frames.load() > 20; }, kDataDeadlineMs);
    std::vector<float> levels(static_cast<std::size_t>(p.logSpectrum.bandCount.load()));
    for (std::size_t k = 0; k < levels.size(); ++k) levels[k] = p.logSpectrum.levelsDb[k].load();
    EXPECT_EQ(vumira::stopCapture(), 0);
    p.spectrum.logScale = 0;

    ASSERT_TRUE(framesCame) << "no frames within " << kDataDeadlineMs << " ms of recording";
    ASSERT_EQ(levels.size(), 9u);  // up to the band that holds 16 kHz
    const auto loudest = std::max_element(levels.begin(), levels.end()) - levels.begin();
    const auto expected = static_cast<std::ptrdiff_t>(std::floor(std::log2(hz / 44.19417)));
    EXPECT_EQ(loudest, expected) << "the tone of " << hz << " Hz";
    EXPECT_TRUE(boxes.shown().empty()) << boxes.describe();
}

}  // namespace
