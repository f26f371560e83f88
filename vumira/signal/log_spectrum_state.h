// What the log-band spectrum keeps between frames: its tables, the
// recording's history, the gain and the levels it shows. A record of its
// own, below the plug-in's state record that holds it (audio/log_spectrum.h
// fills it in).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "base/limits.h"
#include "signal/bands.h"
#include "signal/real_transform.h"

namespace vumira {

// A level that stands for no sound at all.
inline constexpr double kNoSoundDb = -300.0;

struct LogSpectrumState {
    // ---- made by prepareLogSpectrum while capture is stopped ----
    // The running capture records for the log bands: set (release) once the
    // tables are made, read (acquire) by the callback before it uses them.
    std::atomic<bool> recording{false};
    unsigned points = 0;
    RealTransform transform;
    std::vector<double> window;    // Hann
    double powerScale = 0;         // 2 / (n · Σ w²): a sine of peak A sums to A² / 2
    std::vector<double> aWeights;  // each bin's A-weighting as a power ratio
    std::vector<float> history;    // the newest `points` samples, a ring
    std::vector<double> windowed;
    std::vector<double> powers;    // n/2 + 1 bin powers

    // ---- the wave-in thread's own ----
    unsigned historyAt = 0;
    unsigned samplesSinceFrame = 0;
    LogBandRequest bandsFor{};
    LogBands bands{};
    double gainDb = 0;
    double envelopeDb = kNoSoundDb;

    // ---- read by the paint and by whoever watches the levels ----
    std::atomic<int> bandCount{0};
    std::atomic<std::uint16_t> bars[kBandSlots] = {};
    std::atomic<float> peaks[kBandSlots] = {};
    std::atomic<float> levelsDb[kBandSlots] = {};  // each band's level, weighted, before the gain
    std::atomic<float> shownGainDb{0};
    std::atomic<float> loudestShownDb{static_cast<float>(kNoSoundDb)};  // the loudest band after the gain
    std::atomic<unsigned> frames{0};  // frames analysed since the capture started
};

}  // namespace vumira
