// Which part of the spectrum each displayed band covers, in one place: the
// loader, the commands, the analysis and the paint all ask here.
//
// The exact analysis shows entries of its transformed buffer: the bands are
// the absolute indices freqMin up to but not including freqMax, each drawn
// from the slot of `bars` and `peaks` with its own index. The log-band
// analysis shows bands spaced evenly in octaves between two frequencies,
// band k in slot k.
#pragma once

namespace vumira {

// ---- the exact analysis: a range of indices of the transformed buffer ----

struct BandRange {
    int freqMin;
    int freqMax;
};

// The number of bands of a range; 0 or less draws none.
inline int bandCountOf(BandRange range) { return range.freqMax - range.freqMin; }

// One end of the range kept inside a buffer of `bufferSize` bytes (an empty
// buffer keeps it at 0).
int bandInBuffer(int band, int bufferSize);

// The range kept inside the buffer, in two orders that both show: the
// loader brings the lowest band in before it checks the order, while a new
// buffer size brings the highest band in first. A range of 40..63 kept in
// 32 bytes loads as 31..31 but becomes 0..31 after a buffer-size change,
// and only the loader raises a negative lowest band. Folding the two into
// one would change one of them, so each keeps its own function.
//
// The range as the loader leaves it: a lowest band outside the buffer is
// first brought to the nearest band; a range upside down becomes the whole
// buffer; the highest band is kept inside the buffer.
BandRange fitLoadedBandRange(BandRange stored, int bufferSize);
// The range after the buffer size changed: the highest band comes inside
// the new buffer first, and a lowest band then beyond it resets the range to
// the whole buffer.
BandRange fitBandRangeToBuffer(BandRange range, int bufferSize);

// What the paint walks: `count` bands share the window's extent, band k
// drawn from slot `firstSlot` + k, up to but not including `endSlot`.
struct DisplayedBands {
    int firstSlot;
    int endSlot;
    int count;
};

// The exact analysis's bands: the range's indices, `bandCount` sharing the window.
inline DisplayedBands exactDisplayedBands(BandRange range, int bandCount) {
    return {range.freqMin, range.freqMax, bandCount};
}

// The slots of the displayed bands that lie inside `bars` and `peaks`:
// bands outside them (a hand-edited rc file) are left out.
struct SlotSpan {
    int first;
    int end;
};
SlotSpan slotsInArrays(const DisplayedBands& bands);
bool slotInArrays(int slot);

// ---- the log-band analysis: bands evenly spaced in octaves ----

// The bands-per-octave choices; 0 fits the bands to the window.
inline constexpr int kBandsPerOctaveChoices[] = {0, 1, 2, 3, 6, 12, 24};
// With bands fitted to the window, one band per this many pixels of the
// window's extent across the bands.
inline constexpr int kFittedBandPixels = 4;

struct LogBandRequest {
    double lowHz;
    double highHz;
    int bandsPerOctave;  // one of kBandsPerOctaveChoices
    double sampleRate;   // the recording's rate: no band reaches above half of it
    int extentAcross;    // pixels across the bands, for bandsPerOctave 0
};

// Band k covers [lowHz · 2^(k · octavesPerBand), lowHz · 2^((k + 1) · octavesPerBand)).
struct LogBands {
    double lowHz;
    double octavesPerBand;
    int count;  // at most the slots of `bars`; 0 when the range is empty
};

// The bands of a request: with b bands per octave, every band whose lower
// edge lies below highHz (so the band that holds highHz is whole); with 0,
// as many bands between lowHz and highHz as the window holds bars of
// kFittedBandPixels pixels. highHz is first lowered to just below half the
// sample rate: a low recording rate narrows the range.
LogBands logBandsFor(const LogBandRequest& request);
double bandLowEdgeHz(const LogBands& bands, int k);
// The log bands as the paint walks them: band k in slot k.
inline DisplayedBands logDisplayedBands(const LogBands& bands) { return {0, bands.count, bands.count}; }
double bandCentreHz(const LogBands& bands, int k);  // the geometric centre

}  // namespace vumira
