#include "audio/log_spectrum.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "config/plugin_state.h"
#include "config/spectrum_settings.h"
#include "signal/weighting.h"

namespace vumira {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kFullScale = 32768.0;

LogSpectrumState& state() { return plugin.logSpectrum; }

float setting(const std::atomic<float>& value) { return value.load(std::memory_order_relaxed); }

bool sideBySide() { return plugin.scopeType.equals("h"); }

// The window's extent across the bands and along the bars.
int extentAcross() {
    return sideBySide() ? plugin.width.load(std::memory_order_relaxed) : plugin.height.load(std::memory_order_relaxed);
}
int extentAlong() {
    return sideBySide() ? plugin.height.load(std::memory_order_relaxed) : plugin.width.load(std::memory_order_relaxed);
}

LogBandRequest currentRequest() {
    const SpectrumSettings& s = plugin.spectrum;
    return {setting(s.lowHz), setting(s.highHz), static_cast<int>(setting(s.bandsPerOctave)),
            static_cast<double>(kLogRecordingRate), extentAcross()};
}

bool sameRequest(const LogBandRequest& a, const LogBandRequest& b) {
    return a.lowHz == b.lowHz && a.highHz == b.highHz && a.bandsPerOctave == b.bandsPerOctave &&
           a.sampleRate == b.sampleRate && a.extentAcross == b.extentAcross;
}

// The power between two frequencies given in bins. Bin j holds the power of
// [j - 1/2, j + 1/2): a band as wide as a bin or wider sums its bins, the
// ones at its edges in the share they overlap, so that equal power per
// octave reads the same in every band. A narrower band takes the power
// density interpolated between the two bins around its centre, so that
// neighbouring narrow bands are neither empty nor copies of each other.
double bandPower(const double* powers, unsigned lastBin, double from, double to) {
    if (to - from < 1.0) {
        const double centre = std::clamp(0.5 * (from + to), 0.0, static_cast<double>(lastBin));
        const unsigned below = std::min(static_cast<unsigned>(centre), lastBin - 1);
        const double t = centre - below;
        return ((1.0 - t) * powers[below] + t * powers[below + 1]) * (to - from);
    }
    const unsigned first = static_cast<unsigned>(std::max(std::floor(from + 0.5), 0.0));
    const unsigned last = std::min(static_cast<unsigned>(std::max(std::floor(to + 0.5), 0.0)), lastBin);
    double sum = 0;
    for (unsigned j = first; j <= last; ++j) {
        const double overlap = std::min(to, j + 0.5) - std::max(from, j - 0.5);
        if (overlap > 0) sum += powers[j] * overlap;
    }
    return sum;
}

double decibels(double power) { return power > 0 ? 10.0 * std::log10(power) : kNoSoundDb; }

// The gain for this frame: see the constants in the header.
void followGain(LogSpectrumState& s, double loudestDb, double seconds) {
    if (setting(plugin.spectrum.autoGain) == 0) {
        s.gainDb = 0;
        s.envelopeDb = kNoSoundDb;
        return;
    }
    if (loudestDb < kGainProgrammeGateDb) return;  // silence or hiss: the gain holds
    s.envelopeDb = std::max(loudestDb, s.envelopeDb - kGainEnvelopeFallDbPerSecond * seconds);
    if (s.envelopeDb + s.gainDb > 0) {
        s.gainDb = -s.envelopeDb;
    } else if (s.envelopeDb + s.gainDb < kGainTargetDb) {
        s.gainDb = std::min({s.gainDb + kGainRiseDbPerSecond * seconds, kGainTargetDb - s.envelopeDb, kGainMaxDb});
    }
    // A loud band always comes down to full scale: the gain may go below 0 dB.
}

// Fast attack, slow decay and falling peaks, as the exact analysis does them.
void updateBar(LogSpectrumState& s, int band, unsigned fresh, bool markers, float drop) {
    const unsigned old = s.bars[band].load(std::memory_order_relaxed);
    const unsigned bar = fresh > old ? fresh : (fresh + 3 * old) >> 2;
    s.bars[band].store(static_cast<std::uint16_t>(bar), std::memory_order_relaxed);
    if (!markers) return;
    const float peak = s.peaks[band].load(std::memory_order_relaxed);
    const float now = static_cast<float>(bar);
    s.peaks[band].store(now >= peak ? now : peak - drop, std::memory_order_relaxed);
}

void analyseFrame(LogSpectrumState& s) {
    const unsigned n = s.points;
    // The newest n samples, oldest first, windowed.
    for (unsigned i = 0; i < n; ++i) {
        const unsigned at = (s.historyAt + i) % n;
        s.windowed[i] = s.history[at] * s.window[i];
    }
    realPowerSpectrum(s.transform, s.windowed.data(), s.powers.data());
    const unsigned lastBin = n / 2;
    const bool weighted = setting(plugin.spectrum.aWeighting) != 0;
    for (unsigned j = 0; j <= lastBin; ++j) {
        // The bins at 0 Hz and at half the rate have no mirror image to fold in.
        const double oneSided = (j == 0 || j == lastBin) ? 0.5 : 1.0;
        s.powers[j] *= s.powerScale * oneSided * (weighted ? s.aWeights[j] : 1.0);
    }

    const LogBandRequest request = currentRequest();
    if (!sameRequest(request, s.bandsFor)) {
        s.bandsFor = request;
        s.bands = logBandsFor(request);
    }
    const int count = s.bands.count;
    const double binsPerHz = n / static_cast<double>(kLogRecordingRate);
    double loudest = kNoSoundDb;
    double levels[kBandSlots];
    for (int k = 0; k < count; ++k) {
        const double from = bandLowEdgeHz(s.bands, k) * binsPerHz;
        const double to = bandLowEdgeHz(s.bands, k + 1) * binsPerHz;
        // Level in dB of full scale: a full-scale sine, A² / 2 = 1/2, reads 0 dB.
        levels[k] = decibels(2.0 * bandPower(s.powers.data(), lastBin, from, to));
        loudest = std::max(loudest, levels[k]);
        s.levelsDb[k].store(static_cast<float>(levels[k]), std::memory_order_relaxed);
    }

    const double frameSeconds = plugin.frameIntervalMs.load(std::memory_order_relaxed) / 1000.0;
    followGain(s, loudest, frameSeconds);
    s.shownGainDb.store(static_cast<float>(s.gainDb), std::memory_order_relaxed);

    const double floorDb = std::min(static_cast<double>(setting(plugin.spectrum.floorDb)), -1.0);
    const double along = std::clamp(extentAlong(), 0, 65535);
    const bool markers = plugin.peakMarkers.load(std::memory_order_relaxed);
    const float drop = plugin.peakDropSpeed.load(std::memory_order_relaxed);
    double loudestShown = kNoSoundDb;
    for (int k = 0; k < count; ++k) {
        const double shown = levels[k] < kSilenceDb ? kNoSoundDb : levels[k] + s.gainDb;
        loudestShown = std::max(loudestShown, shown);
        const double share = std::clamp((shown - floorDb) / -floorDb, 0.0, 1.0);
        updateBar(s, k, static_cast<unsigned>(std::lround(share * along)), markers, drop);
    }
    s.loudestShownDb.store(static_cast<float>(loudestShown), std::memory_order_relaxed);
    s.bandCount.store(count, std::memory_order_relaxed);
    s.frames.fetch_add(1, std::memory_order_relaxed);

    const HWND window = plugin.pluginWindow.load(std::memory_order_relaxed);
    if (window) InvalidateRect(window, nullptr, FALSE);
}

}  // namespace

LogBands currentLogBands() { return logBandsFor(currentRequest()); }

WAVEFORMATEX logRecordingFormat() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = kLogRecordingRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    return format;
}

bool prepareLogSpectrum() {
    LogSpectrumState& s = state();
    s.recording.store(false, std::memory_order_relaxed);
    const unsigned n = static_cast<unsigned>(setting(plugin.spectrum.points));
    try {
        if (!prepareRealTransform(s.transform, n)) return false;
        s.window.resize(n);
        double energy = 0;
        for (unsigned i = 0; i < n; ++i) {
            // The periodic Hann window: its energy correction is exact for
            // every transform length.
            s.window[i] = 0.5 - 0.5 * std::cos(kTwoPi * i / n);
            energy += s.window[i] * s.window[i];
        }
        s.powerScale = 2.0 / (n * energy);
        s.aWeights.resize(n / 2 + 1);
        for (unsigned j = 0; j <= n / 2; ++j)
            s.aWeights[j] = std::pow(10.0, aWeightingDb(j * static_cast<double>(kLogRecordingRate) / n) / 10.0);
        s.history.assign(n, 0.0f);
        s.windowed.assign(n, 0.0);
        s.powers.assign(n / 2 + 1, 0.0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    s.points = n;
    s.historyAt = 0;
    s.samplesSinceFrame = 0;
    s.bandsFor = {};
    s.bands = {};
    s.frames.store(0, std::memory_order_relaxed);
    s.recording.store(true, std::memory_order_release);
    return true;
}

void analyseLogBuffer(const unsigned char* bytes, unsigned count) {
    LogSpectrumState& s = state();
    if (!s.recording.load(std::memory_order_acquire) || !bytes) return;
    const unsigned n = s.points;
    const unsigned samples = count / 2;
    for (unsigned i = 0; i < samples; ++i) {
        // Little-endian signed 16-bit PCM.
        const auto value = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        s.history[s.historyAt] = static_cast<float>(value / kFullScale);
        s.historyAt = (s.historyAt + 1) % n;
    }
    // One frame for every frame interval of sound recorded.
    const int interval = std::max(plugin.frameIntervalMs.load(std::memory_order_relaxed), 1);
    const unsigned samplesPerFrame = static_cast<unsigned>(kLogRecordingRate / 1000 * static_cast<unsigned>(interval));
    s.samplesSinceFrame += samples;
    if (s.samplesSinceFrame < samplesPerFrame) return;
    s.samplesSinceFrame = std::min(s.samplesSinceFrame - samplesPerFrame, samplesPerFrame);
    analyseFrame(s);
}

}  // namespace vumira
