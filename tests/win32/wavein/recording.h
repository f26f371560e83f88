// Helpers for the wave-in tests: PCM formats, a recorder that keeps buffers
// circulating through the callback and collects what arrives, and the
// strongest frequency of a recording by a direct DFT.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#ifndef _WIN32
#include <win32subset.h>
#endif

#include <gtest/gtest.h>

#include "known_difference.h"

#include <chrono>
#include <cmath>
#include <complex>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace wavetest {

// Waits until `condition` holds, for at most `limit`.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Whether what a reset or a stop hands back has come. The subset hands it
// back, through callbacks that have returned, before waveInReset or
// waveInStop returns; Win32 promises only that it comes (Wine gives some of
// it after the call returned), so under Wine this waits for it.
template <typename Condition>
bool backWhenTheCallReturns(Condition condition) {
    return testsupport::runningUnderWine() ? waitUntil(condition) : condition();
}

// Chooses the device that the next waveInOpen records from. The Windows
// build (run under Wine) has no such choice: it records from the system's
// default device, which the Wine stage's private sound server fills with a
// 1000 Hz tone, so only tests that do not depend on the device's text run
// there.
inline bool chooseDevice(const char* text) {
#ifdef _WIN32
    (void)text;
    return true;
#else
    return Win32SubsetSetWaveIn(text) == 0;
#endif
}

// A callback for a device whose messages the test does not read.
inline void CALLBACK ignoreMessages(HWAVEIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}
inline DWORD_PTR ignoring() { return reinterpret_cast<DWORD_PTR>(&ignoreMessages); }

inline WAVEFORMATEX pcmFormat(unsigned rate, unsigned channels, unsigned bits) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = static_cast<WORD>(bits);
    format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * rate;
    return format;
}

inline std::string formatText(const WAVEFORMATEX& format) {
    return std::to_string(format.nSamplesPerSec) + " Hz, " + std::to_string(format.nChannels) + " channel(s), " +
           std::to_string(format.wBitsPerSample) + " bits";
}

// Opens the device named by `deviceText` and keeps `bufferCount` buffers of
// `bufferBytes` circulating: every buffer that comes back is appended to
// the recording and queued again, until close().
class Recorder {
public:
    Recorder(const WAVEFORMATEX& format, DWORD bufferBytes, int bufferCount = 2)
        : format_(format), storage_(std::size_t(bufferCount), std::vector<char>(bufferBytes)),
          headers_(std::size_t(bufferCount)) {}
    ~Recorder() { close(); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    MMRESULT open(const char* deviceText) {
        if (!chooseDevice(deviceText)) return MMSYSERR_BADDEVICEID;
        const MMRESULT opened = waveInOpen(&device_, WAVE_MAPPER, &format_, reinterpret_cast<DWORD_PTR>(&callback),
                                           reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
        if (opened != MMSYSERR_NOERROR) return opened;
        for (std::size_t i = 0; i < headers_.size(); ++i) {
            headers_[i] = WAVEHDR{};
            headers_[i].lpData = storage_[i].data();
            headers_[i].dwBufferLength = DWORD(storage_[i].size());
            EXPECT_EQ(waveInPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
            EXPECT_EQ(waveInAddBuffer(device_, &headers_[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
        circulating_ = true;
        return waveInStart(device_);
    }

    // Waits until at least `bytes` bytes were recorded, for at most `limit`.
    bool waitFor(std::size_t bytes, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> held(lock_);
        return arrived_.wait_for(held, limit, [&] { return recorded_.size() >= bytes; });
    }

    std::vector<unsigned char> recorded() {
        std::lock_guard<std::mutex> held(lock_);
        return recorded_;
    }
    void forget() {
        std::lock_guard<std::mutex> held(lock_);
        recorded_.clear();
    }

    // Reset, unprepare and close; each must succeed.
    void close() {
        if (!device_) return;
        {
            std::lock_guard<std::mutex> held(lock_);
            circulating_ = false;
        }
        EXPECT_EQ(waveInReset(device_), MMSYSERR_NOERROR);
        for (auto& header : headers_) {
            EXPECT_EQ(header.dwFlags & WHDR_INQUEUE, 0u) << "a buffer is still queued after the reset";
            EXPECT_EQ(waveInUnprepareHeader(device_, &header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
        EXPECT_EQ(waveInClose(device_), MMSYSERR_NOERROR);
        device_ = nullptr;
    }

    HWAVEIN device() const { return device_; }

private:
    static void CALLBACK callback(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
        if (message != WIM_DATA) return;
        auto* self = reinterpret_cast<Recorder*>(instance);
        auto* header = reinterpret_cast<WAVEHDR*>(param1);
        std::lock_guard<std::mutex> held(self->lock_);
        const auto* bytes = reinterpret_cast<const unsigned char*>(header->lpData);
        self->recorded_.insert(self->recorded_.end(), bytes, bytes + header->dwBytesRecorded);
        self->arrived_.notify_all();
        if (self->circulating_) waveInAddBuffer(device, header, sizeof(WAVEHDR));
    }

    WAVEFORMATEX format_;
    std::vector<std::vector<char>> storage_;
    std::vector<WAVEHDR> headers_;
    HWAVEIN device_ = nullptr;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<unsigned char> recorded_;
    bool circulating_ = false;
};

// One channel of a recording as values from -1 to 1 (8-bit samples are
// unsigned around 128, 16-bit ones signed little-endian).
inline std::vector<double> channelOf(const std::vector<unsigned char>& bytes, const WAVEFORMATEX& format,
                                     unsigned channel, std::size_t firstFrame = 0) {
    std::vector<double> samples;
    const std::size_t frames = bytes.size() / format.nBlockAlign;
    for (std::size_t frame = firstFrame; frame < frames; ++frame) {
        const std::size_t at = frame * format.nBlockAlign + channel * (format.wBitsPerSample / 8u);
        if (format.wBitsPerSample == 8) {
            samples.push_back((double(bytes[at]) - 128.0) / 128.0);
        } else {
            const auto bits = static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
            samples.push_back(double(static_cast<std::int16_t>(bits)) / 32768.0);
        }
    }
    return samples;
}

inline std::vector<double> magnitudes(const std::vector<double>& samples) {
    const std::size_t n = samples.size();
    std::vector<double> result(n / 2 + 1);
    for (std::size_t k = 0; k <= n / 2; ++k) {
        std::complex<double> sum;
        for (std::size_t t = 0; t < n; ++t) sum += samples[t] * std::polar(1.0, -2 * std::numbers::pi * double(k * t % n) / double(n));
        result[k] = std::abs(sum);
    }
    return result;
}

// The DFT bin (leaving out the constant one) where the recording is strongest.
inline std::size_t strongestBin(const std::vector<double>& samples) {
    const auto spectrum = magnitudes(samples);
    std::size_t best = 1;
    for (std::size_t k = 1; k < spectrum.size(); ++k) {
        if (spectrum[k] > spectrum[best]) best = k;
    }
    return best;
}

inline double binOf(double hertz, std::size_t points, unsigned rate) { return hertz * double(points) / rate; }

inline double peakLevel(const std::vector<double>& samples) {
    double peak = 0;
    for (double value : samples) peak = std::max(peak, std::fabs(value));
    return peak;
}

}  // namespace wavetest
