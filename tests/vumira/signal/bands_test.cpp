// Which part of the spectrum each band covers: the exact analysis's range
// fix-ups and the log bands' edges, against hand-worked figures.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/limits.h"
#include "signal/bands.h"

namespace {

using vumira::BandRange;

TEST(Bands, TheLoaderAndANewBufferSizeFitTheRangeEachInItsOwnOrder) {
    struct Case {
        BandRange stored;
        int bufferSize;
        BandRange loaded;       // the loader: lowest band first, then order, then the top
        BandRange afterBuffer;  // a new buffer size: the top first, then order
    };
    const std::vector<Case> cases = {
        {{0, 32}, 64, {0, 32}, {0, 32}},
        {{0, 63}, 32, {0, 31}, {0, 31}},
        {{40, 63}, 32, {31, 31}, {0, 31}},  // the orders part: 40 is first brought to 31 by the loader
        {{-5, 10}, 64, {0, 10}, {-5, 10}},  // only the loader raises a negative lowest band
        {{20, 10}, 64, {0, 63}, {0, 63}},   // upside down: the whole buffer
        {{10, 10}, 64, {10, 10}, {10, 10}}, // empty but in order: kept
        {{70, 80}, 64, {63, 63}, {0, 63}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stored.freqMin << ".." << c.stored.freqMax << " in " << c.bufferSize);
        const BandRange loaded = vumira::fitLoadedBandRange(c.stored, c.bufferSize);
        EXPECT_EQ(loaded.freqMin, c.loaded.freqMin);
        EXPECT_EQ(loaded.freqMax, c.loaded.freqMax);
        const BandRange fitted = vumira::fitBandRangeToBuffer(c.stored, c.bufferSize);
        EXPECT_EQ(fitted.freqMin, c.afterBuffer.freqMin);
        EXPECT_EQ(fitted.freqMax, c.afterBuffer.freqMax);
    }
}

TEST(Bands, OnlyTheSlotsInsideTheArraysAreWalked) {
    const int slots = static_cast<int>(vumira::kBandSlots);
    struct Case {
        BandRange range;
        int first, end;
    };
    const std::vector<Case> cases = {{{0, 32}, 0, 32}, {{-3, 4}, 0, 4}, {{500, 600}, 500, slots}, {{9, 2}, 9, 2}};
    for (const Case& c : cases) {
        const auto span = vumira::slotsInArrays(vumira::exactDisplayedBands(c.range, vumira::bandCountOf(c.range)));
        EXPECT_EQ(span.first, c.first) << c.range.freqMin;
        EXPECT_EQ(span.end, c.end) << c.range.freqMax;
    }
}

TEST(Bands, LogBandsFollowTheOctaveRuleAndStopAtHighHzOrNyquist) {
    struct Case {
        vumira::LogBandRequest request;
        int count;
        double firstCentre;  // Hz
        double lastCentre;
    };
    // With lowHz on the lower edge of the ISO 50 Hz band (50 / 2^(1/6)), the
    // third-octave bands are the ISO ones: 50, 63, 80 ... 16000 Hz (26 bands).
    const double isoLow = 50.0 / std::exp2(1.0 / 6.0);
    const std::vector<Case> cases = {
        {{isoLow, 16000, 3, 48000, 100}, 26, 50.0, 50.0 * std::exp2(25.0 / 3)},
        {{100, 1600, 1, 48000, 100}, 4, 100 * std::sqrt(2.0), 800 * std::sqrt(2.0)},  // 1600 is an edge: no fifth band
        {{100, 1700, 1, 48000, 100}, 5, 100 * std::sqrt(2.0), 1600 * std::sqrt(2.0)},
        // At 16 kHz the range stops just below 8 kHz: 7 octaves above 62.5 Hz.
        {{62.5, 16000, 1, 16000, 100}, 7, 62.5 * std::sqrt(2.0), 4000 * std::sqrt(2.0)},
        // Fitted to the window: one band per 4 pixels, spread over the range.
        {{50, 12800, 0, 48000, 97}, 24, 50 * std::exp2(1.0 / 6), 12800 / std::exp2(1.0 / 6)},
        {{50, 12800, 0, 48000, 2}, 1, 50 * 16, 50 * 16},
        {{500, 400, 3, 48000, 100}, 0, 0, 0},  // upside down: no bands
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.request.lowHz << ".." << c.request.highHz << " Hz, "
                                        << c.request.bandsPerOctave << " a octave at " << c.request.sampleRate);
        const vumira::LogBands bands = vumira::logBandsFor(c.request);
        ASSERT_EQ(bands.count, c.count);
        if (c.count == 0) continue;
        EXPECT_NEAR(vumira::bandCentreHz(bands, 0), c.firstCentre, 1e-6 * c.firstCentre);
        EXPECT_NEAR(vumira::bandCentreHz(bands, c.count - 1), c.lastCentre, 1e-6 * c.lastCentre);
        EXPECT_NEAR(vumira::bandLowEdgeHz(bands, 0), c.request.lowHz, 1e-9);
    }
}

TEST(Bands, NeverMoreLogBandsThanSlots) {
    const vumira::LogBands bands = vumira::logBandsFor({0.001, 24000, 24, 48000, 100});
    EXPECT_EQ(bands.count, static_cast<int>(vumira::kBandSlots));
}

}  // namespace
