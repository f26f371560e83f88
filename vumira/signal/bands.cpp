#include "signal/bands.h"

#include <algorithm>
#include <cmath>

#include "base/limits.h"

namespace vumira {

namespace {

// What an upside-down range becomes, and the highest band a buffer holds.
BandRange wholeBuffer(int bufferSize) { return {0, bufferSize - 1}; }
int highestBand(int bufferSize) { return bufferSize - 1; }

}  // namespace

int bandInBuffer(int band, int bufferSize) { return std::clamp(band, 0, std::max(0, bufferSize - 1)); }

BandRange fitLoadedBandRange(BandRange stored, int bufferSize) {
    BandRange range{bandInBuffer(stored.freqMin, bufferSize), stored.freqMax};
    if (range.freqMax < range.freqMin) range = wholeBuffer(bufferSize);
    range.freqMax = std::min(range.freqMax, highestBand(bufferSize));
    return range;
}

BandRange fitBandRangeToBuffer(BandRange range, int bufferSize) {
    range.freqMax = std::min(range.freqMax, highestBand(bufferSize));
    if (range.freqMin > range.freqMax) range = wholeBuffer(bufferSize);
    return range;
}

SlotSpan slotsInArrays(const DisplayedBands& bands) {
    return {std::max(bands.firstSlot, 0), std::min(bands.endSlot, static_cast<int>(kBandSlots))};
}

bool slotInArrays(int slot) { return slot >= 0 && slot < static_cast<int>(kBandSlots); }

namespace {

// Just below half the sample rate, so that the top band's edge stays a
// frequency the recording holds.
constexpr double kNyquistShare = 0.4999;

}  // namespace

LogBands logBandsFor(const LogBandRequest& request) {
    const double low = request.lowHz;
    const double high = std::min(request.highHz, request.sampleRate * kNyquistShare);
    if (!(low > 0) || !(high > low)) return {low, 1.0, 0};
    const double octaves = std::log2(high / low);
    const int slots = static_cast<int>(kBandSlots);
    if (request.bandsPerOctave > 0) {
        const double b = request.bandsPerOctave;
        // Every band whose lower edge lies below highHz; the small margin
        // keeps a highHz that is itself an edge from gaining a band above it.
        const int count = static_cast<int>(std::ceil(octaves * b - 1e-9));
        return {low, 1.0 / b, std::clamp(count, 1, slots)};
    }
    const int count = std::clamp(request.extentAcross / kFittedBandPixels, 1, slots);
    return {low, octaves / count, count};
}

double bandLowEdgeHz(const LogBands& bands, int k) { return bands.lowHz * std::exp2(k * bands.octavesPerBand); }

double bandCentreHz(const LogBands& bands, int k) {
    return bands.lowHz * std::exp2((k + 0.5) * bands.octavesPerBand);
}

}  // namespace vumira
