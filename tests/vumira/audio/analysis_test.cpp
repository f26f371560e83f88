// The analysis of one buffer: byte conversion, scale, bars, peaks and the
// repaint throttle, with expected values worked out by hand from the rules.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "audio/spectrum.h"
#include "fake_platform.h"
#include "plugin_reset.h"

namespace {

using vumira::plugin;
using Bytes = std::vector<unsigned char>;
using BandValues = std::map<int, int>;  // band index -> value; unlisted bands 0

const HWND kWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4242));

class Analysis : public testing::Test {
protected:
    void SetUp() override {
        fake::setUp();
        capturetest::resetPluginState();
        plugin.pluginWindow.store(kWindow);
    }
    void TearDown() override { fake::tearDown(); }

    static void analyse(const Bytes& bytes) {
        vumira::analyseBuffer(bytes.data(), static_cast<unsigned>(bytes.size()));
    }
    static void setBars(const BandValues& values) {
        for (auto [band, value] : values) plugin.bars[band].store(static_cast<unsigned char>(value));
    }
    // Checks bands [0, end): those listed hold their value, all others 0.
    static void expectBars(const BandValues& expected, int end) {
        for (int band = 0; band < end; ++band) {
            auto found = expected.find(band);
            EXPECT_EQ(plugin.bars[band].load(), found == expected.end() ? 0 : found->second) << "band " << band;
        }
    }
};

struct BarCase {
    std::string name{};
    Bytes bytes{};
    BandValues before{};
    BandValues after{};
    int height = 25;
    int width = 100;
    int maxBarHeight = 64;
    const char* scopeType = "h";
    int freqMin = 0;
    int freqMax = 32;
};

// 8 bytes: one value followed by seven zeros. Four points, x0 = v, the rest
// 0, so every point of the transform is v/4: entries 0, 2, 4, 6 hold v/4.
Bytes impulse(unsigned char value) { return Bytes{value, 0, 0, 0, 0, 0, 0, 0}; }

TEST_F(Analysis, BarsFollowTheRules) {
    const std::vector<BarCase> cases = {
        // 32 points of 16 + 16i: point 0 is 16 + 16i, the rest 0. f = 25/64 = 0.390625; 16 f = 6.25.
        {.name = "64 bytes of 0x10", .bytes = Bytes(64, 0x10), .after = {{0, 6}, {1, 6}}},
        // 0x80 reads -128: magnitude 128, 128 f = 50.
        {.name = "8-bit silence", .bytes = Bytes(64, 0x80), .after = {{0, 50}, {1, 50}}},
        {.name = "16-bit silence", .bytes = Bytes(64, 0x00), .after = {}},
        // One point: the entries are the byte magnitudes themselves; f = 1.
        {.name = "0xFF reads 1, 0x80 reads 128", .bytes = {0xFF, 0x80}, .after = {{0, 1}, {1, 128}},
         .height = 64, .freqMax = 2},
        {.name = "0x7F reads 127, 0x81 reads 127", .bytes = {0x7F, 0x81}, .after = {{0, 127}, {1, 127}},
         .height = 64, .freqMax = 2},
        // f = 10: 7/4 = 1.75 truncates to 1 before scaling, giving 10, not 17.
        {.name = "truncated before scaling", .bytes = impulse(7), .after = {{0, 10}, {2, 10}, {4, 10}, {6, 10}},
         .height = 10, .maxBarHeight = 1, .freqMax = 8},
        {.name = "below one truncates to nothing", .bytes = impulse(3), .after = {}, .height = 10,
         .maxBarHeight = 1, .freqMax = 8},
        // Two points 0 and 3: entry 0 = 1.5, entry 2 = (0 - 3)/2 = -1.5; both count 1 -> 10.
        {.name = "negative values count by magnitude", .bytes = {0, 0, 3, 0}, .after = {{0, 10}, {2, 10}},
         .height = 10, .maxBarHeight = 1, .freqMax = 4},
        // 25/7 held as a float is 3.5714285; times 7 is 24.99999976.
        {.name = "single-precision scale", .bytes = {7, 0}, .after = {{0, 24}}, .maxBarHeight = 7, .freqMax = 2},
        // 120 * 25/10 = 300: saturated at 255, not wrapped to 44.
        {.name = "above 255 saturates", .bytes = {120, 0}, .before = {{0, 10}}, .after = {{0, 255}},
         .maxBarHeight = 10, .freqMax = 2},
        {.name = "value equal to the bar keeps it", .bytes = {100, 0}, .before = {{0, 100}}, .after = {{0, 100}},
         .height = 64, .freqMax = 2},
        // (60 + 3 * 100) / 4 = 90.
        {.name = "lower value decays by a quarter of the gap", .bytes = {60, 0}, .before = {{0, 100}},
         .after = {{0, 90}}, .height = 64, .freqMax = 2},
        // Scale by the extent along the bars: 64 * 50/64 = 50 by width, 64 * 25/64 = 25 by height.
        {.name = "scope h scales by height", .bytes = {64, 0}, .after = {{0, 25}}, .width = 50, .freqMax = 2},
        {.name = "scope v scales by width", .bytes = {64, 0}, .after = {{0, 50}}, .width = 50, .scopeType = "v",
         .freqMax = 2},
        {.name = "scope H scales by width", .bytes = {64, 0}, .after = {{0, 50}}, .width = 50, .scopeType = "H",
         .freqMax = 2},
        // A bar height below 1 scales as 1: 7 * 25 = 175.
        {.name = "maxBarHeight 1", .bytes = {7, 0}, .after = {{0, 175}}, .maxBarHeight = 1, .freqMax = 2},
        {.name = "maxBarHeight 0 as 1", .bytes = {7, 0}, .after = {{0, 175}}, .maxBarHeight = 0, .freqMax = 2},
        {.name = "maxBarHeight -3 as 1", .bytes = {7, 0}, .after = {{0, 175}}, .maxBarHeight = -3, .freqMax = 2},
        // Only bands freqMin .. freqMax - 1 change.
        {.name = "bands outside the range keep their value", .bytes = Bytes(64, 0),
         .before = {{0, 40}, {1, 40}, {2, 40}, {5, 40}}, .after = {{0, 40}, {1, 40}, {2, 30}, {5, 40}},
         .freqMin = 2, .freqMax = 5},
        {.name = "freqMax equal to freqMin changes nothing", .bytes = Bytes(64, 0x10), .before = {{4, 40}},
         .after = {{4, 40}}, .freqMin = 4, .freqMax = 4},
        {.name = "freqMax below freqMin changes nothing", .bytes = Bytes(64, 0x10), .before = {{0, 40}, {4, 40}},
         .after = {{0, 40}, {4, 40}}, .freqMin = 10, .freqMax = 3},
    };
    for (const BarCase& c : cases) {
        SCOPED_TRACE(c.name);
        capturetest::resetPluginState();
        plugin.height.store(c.height);
        plugin.width.store(c.width);
        plugin.maxBarHeight.store(c.maxBarHeight);
        plugin.scopeType.set(c.scopeType);
        plugin.freqMin.store(c.freqMin);
        plugin.freqMax.store(c.freqMax);
        setBars(c.before);
        analyse(c.bytes);
        expectBars(c.after, 64);
    }
}

TEST_F(Analysis, SilenceLetsABarOf100FallToZeroIn14Buffers) {
    plugin.height.store(64);
    plugin.freqMax.store(2);
    setBars({{0, 100}});
    const std::vector<int> expected{75, 56, 42, 31, 23, 17, 12, 9, 6, 4, 3, 2, 1, 0};
    std::vector<int> seen;
    for (std::size_t buffer = 0; buffer < expected.size(); ++buffer) {
        analyse(Bytes(2, 0));
        seen.push_back(plugin.bars[0].load());
    }
    EXPECT_EQ(seen, expected);
}

// Every byte count ends, and only the points of the largest power of two
// that fits are transformed: entries beyond them read 0 even where bytes
// were recorded. Bytes of 0x10 make point 0 16 + 16i and every other
// transformed point 0, so with f = 1 bands 0 and 1 stand at 16 and all
// others at 0 (a single byte makes no point at all).
TEST_F(Analysis, EveryByteCountEndsAndLeavesUntransformedEntriesAtZero) {
    for (unsigned count = 1; count <= 600; ++count) {
        SCOPED_TRACE(testing::Message() << count << " bytes");
        capturetest::resetPluginState();
        plugin.height.store(64);
        plugin.freqMax.store(512);
        const Bytes bytes(count, 0x10);
        vumira::analyseBuffer(bytes.data(), count);
        const int dc = count >= 2 ? 16 : 0;
        EXPECT_EQ(plugin.bars[0].load(), dc);
        EXPECT_EQ(plugin.bars[1].load(), dc);
        int lit = 0;
        for (int band = 2; band < 512; ++band) lit += plugin.bars[band].load() != 0;
        EXPECT_EQ(lit, 0);
    }
}

// Bands outside the 512 entries of the arrays are left out, whatever a
// hand-edited rc file holds. Silence over bars of 200 gives 150.
TEST_F(Analysis, BandRangeIsKeptInsideTheArrays) {
    struct Range {
        int freqMin, freqMax, firstChanged, endChanged;
    };
    const std::vector<Range> ranges = {
        {-5, 4, 0, 4}, {508, 600, 508, 512}, {-10, -2, 0, 0}, {600, 700, 0, 0}, {-1, 10000, 0, 512},
    };
    for (const Range& range : ranges) {
        SCOPED_TRACE(testing::Message() << "freqMin " << range.freqMin << ", freqMax " << range.freqMax);
        capturetest::resetPluginState();
        plugin.peakMarkers.store(true);
        plugin.freqMin.store(range.freqMin);
        plugin.freqMax.store(range.freqMax);
        for (auto& bar : plugin.bars) bar.store(200);
        analyse(Bytes(64, 0));
        for (int band = 0; band < 512; ++band) {
            const bool changed = band >= range.firstChanged && band < range.endChanged;
            ASSERT_EQ(plugin.bars[band].load(), changed ? 150 : 200) << "band " << band;
            ASSERT_EQ(plugin.peaks[band].load(), changed ? 150.0f : 0.0f) << "band " << band;
        }
    }
}

TEST_F(Analysis, PeaksFollowTheBarsAndFallByTheDropSpeed) {
    struct PeakCase {
        std::string name;
        bool markers;
        float drop;
        int barBefore;
        float peakBefore;
        unsigned char value;  // the new value of band 0, f = 1
        int barAfter;
        float peakAfter;
    };
    const std::vector<PeakCase> cases = {
        {"a rising bar lifts its peak", true, 0.3f, 0, 3.0f, 10, 10, 10.0f},
        {"a bar equal to its peak holds it", true, 0.3f, 0, 10.0f, 10, 10, 10.0f},
        {"a peak above its bar falls", true, 0.3f, 0, 50.0f, 10, 10, 49.7f},
        // The bar decays first (100 -> 75), and the peak compares with the new bar.
        {"the peak compares with the decayed bar", true, 0.5f, 100, 80.0f, 0, 75, 79.5f},
        {"no markers leave the peaks alone", false, 0.3f, 0, 7.0f, 10, 10, 7.0f},
    };
    for (const PeakCase& c : cases) {
        SCOPED_TRACE(c.name);
        capturetest::resetPluginState();
        plugin.height.store(64);
        plugin.freqMax.store(1);
        plugin.peakMarkers.store(c.markers);
        plugin.peakDropSpeed.store(c.drop);
        plugin.bars[0].store(static_cast<unsigned char>(c.barBefore));
        plugin.peaks[0].store(c.peakBefore);
        analyse({c.value, 0});
        EXPECT_EQ(plugin.bars[0].load(), c.barAfter);
        EXPECT_FLOAT_EQ(plugin.peaks[0].load(), c.peakAfter);
    }
}

TEST_F(Analysis, APeakBelowItsDropSpeedDipsUnderZeroThenComesBack) {
    plugin.peakMarkers.store(true);
    plugin.peakDropSpeed.store(0.3f);
    plugin.peaks[0].store(0.2f);
    analyse(Bytes(64, 0));
    EXPECT_NEAR(plugin.peaks[0].load(), -0.1f, 1e-6f);
    analyse(Bytes(64, 0));
    EXPECT_EQ(plugin.peaks[0].load(), 0.0f);
}

TEST_F(Analysis, RepaintIsAskedAtMostOncePerFrameInterval) {
    struct ThrottleCase {
        std::string name;
        int interval;
        DWORD last;
        std::vector<DWORD> ticks;  // what GetTickCount answers, in order
        bool window;
        int freqMin, freqMax;
        bool repaint;
        DWORD lastAfter;
    };
    const std::vector<ThrottleCase> cases = {
        {"40 ms after the last request", 40, 1000, {1040}, true, 0, 32, false, 1000},
        {"41 ms after: a second reading is kept", 40, 1000, {1041, 1042}, true, 0, 32, true, 1042},
        {"40 ms across the wrap", 40, 0xFFFFFFF0u, {0x18}, true, 0, 32, false, 0xFFFFFFF0u},
        {"41 ms across the wrap", 40, 0xFFFFFFF0u, {0x19, 0x1A}, true, 0, 32, true, 0x1A},
        {"interval 0, same tick", 0, 500, {500}, true, 0, 32, false, 500},
        {"interval 0, next tick", 0, 500, {501, 501}, true, 0, 32, true, 501},
        {"no band to draw still repaints", 40, 1000, {2000, 2000}, true, 8, 8, true, 2000},
        {"no window yet: nothing to invalidate", 40, 1000, {2000, 2001}, false, 0, 32, false, 2001},
    };
    for (const ThrottleCase& c : cases) {
        SCOPED_TRACE(c.name);
        fake::setUp();
        capturetest::resetPluginState();
        plugin.pluginWindow.store(c.window ? kWindow : nullptr);
        plugin.frameIntervalMs.store(c.interval);
        plugin.freqMin.store(c.freqMin);
        plugin.freqMax.store(c.freqMax);
        plugin.lastRepaintTick.store(c.last);
        fake::setTicks(c.ticks);
        analyse(Bytes(64, 0x10));
        const auto repaints = fake::repaints();
        ASSERT_EQ(repaints.size(), c.repaint ? 1u : 0u);
        if (c.repaint) {
            EXPECT_EQ(repaints[0].window, kWindow);
            EXPECT_TRUE(repaints[0].wholeArea);
            EXPECT_EQ(repaints[0].erase, FALSE);
        }
        EXPECT_EQ(plugin.lastRepaintTick.load(), c.lastAfter);
    }
}

}  // namespace
