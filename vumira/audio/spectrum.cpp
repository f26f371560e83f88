// The spectrum of one recorded buffer: byte conversion, the radix-2
// transform, bars with fast attack and slow decay, falling peak markers and
// the repaint throttle. Runs inside the wave-in callback: nothing here
// allocates, waits or reports.
#include "audio/spectrum.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "base/limits.h"
#include "config/plugin_state.h"
#include "signal/bands.h"

namespace vumira {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr unsigned kWorkingSize = static_cast<unsigned>(kBandSlots);
constexpr unsigned kLongestBar = 255;

// Pixels per transformed unit: the window's extent along the bars over
// `maxBarHeight`, held in single precision.
float barScale() {
    const bool horizontal = plugin.scopeType.equals("h");
    const int extent = horizontal ? plugin.height.load(std::memory_order_relaxed)
                                  : plugin.width.load(std::memory_order_relaxed);
    // A bar height below 1 (a hand-edited rc file) scales as 1.
    const int maxBarHeight = std::max(plugin.maxBarHeight.load(std::memory_order_relaxed), 1);
    return static_cast<float>(static_cast<double>(extent) / maxBarHeight);
}

// One transformed value as a bar length: the value is truncated first, then
// scaled (the product in double precision), truncated again and kept within
// what a bar can hold. A louder band never draws a shorter bar, so lengths
// above 255 stay at 255; a negative extent gives no bar.
unsigned barLength(double value, float scale) {
    const double truncated = std::fabs(std::trunc(value));
    const double pixels = truncated * static_cast<double>(scale);
    if (!(pixels > 0.0)) return 0;
    if (pixels >= kLongestBar) return kLongestBar;
    return static_cast<unsigned>(pixels);
}

void requestRepaintWhenDue() {
    const DWORD now = GetTickCount();
    const DWORD sinceLast = now - plugin.lastRepaintTick.load(std::memory_order_relaxed);
    const int interval = plugin.frameIntervalMs.load(std::memory_order_relaxed);
    if (sinceLast <= static_cast<DWORD>(std::max(interval, 0))) return;
    plugin.lastRepaintTick.store(GetTickCount(), std::memory_order_relaxed);
    // With no window yet there is nothing to repaint; a null window would
    // ask the system to repaint every window instead.
    const HWND window = plugin.pluginWindow.load(std::memory_order_relaxed);
    if (window) InvalidateRect(window, nullptr, FALSE);
}

}  // namespace

void difButterflies(double* points, unsigned n) {
    unsigned stride = 1;
    for (unsigned span = n; span > 1; span /= 2, stride *= 2) {
        const unsigned half = span / 2;
        for (unsigned group = 0; group + half < n; group += span) {
            for (unsigned j = 0; j < half; ++j) {
                const unsigned p = group + j;
                const unsigned q = p + half;
                const double theta = static_cast<double>(j * stride) * kTwoPi / n;
                const double c = std::cos(theta);
                const double s = std::sin(theta);
                double* a = points + 2 * p;
                double* b = points + 2 * q;
                const double dRe = a[0] - b[0];
                const double dIm = a[1] - b[1];
                a[0] += b[0];
                a[1] += b[1];
                b[0] = dRe * c + dIm * s;
                b[1] = dIm * c - dRe * s;
            }
        }
    }
}

void bitReversePermute(double* points, unsigned n) {
    unsigned j = 0;
    for (unsigned i = 0; i + 1 < n; ++i) {
        if (j > i && j < n) {
            std::swap(points[2 * i], points[2 * j]);
            std::swap(points[2 * i + 1], points[2 * j + 1]);
        }
        unsigned k = n / 2;
        // The bound on k only matters for a count that is not a power of
        // two (never passed by the analysis): the walk then still ends.
        while (k != 0 && k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
}

void transformSpectrum(double* points, unsigned n) {
    if (n == 0) return;
    difButterflies(points, n);
    bitReversePermute(points, n);
    for (unsigned i = 0; i < 2 * n; ++i) points[i] /= n;
}

void analyseBuffer(const unsigned char* bytes, unsigned count) {
    // Every entry that this buffer does not produce reads 0.
    double working[kWorkingSize] = {};

    const unsigned usable = bytes ? std::min(count, kWorkingSize) : 0;
    // The transform needs a power of two: a count of points that is not one
    // (the short buffer that a reset hands back, an unusual buffer size) is
    // transformed over the largest power of two that fits, and the bytes
    // beyond it are left out, as an odd last byte always is.
    const unsigned points = std::bit_floor(usable / 2);
    for (unsigned i = 0; i < 2 * points; ++i)
        working[i] = std::abs(static_cast<int>(static_cast<signed char>(bytes[i])));
    transformSpectrum(working, points);

    const float scale = barScale();
    // Bands outside the arrays (a hand-edited rc file) are left out.
    const BandRange range{plugin.freqMin.load(std::memory_order_relaxed), plugin.freqMax.load(std::memory_order_relaxed)};
    const auto [first, end] = slotsInArrays(exactDisplayedBands(range, bandCountOf(range)));

    for (int i = first; i < end; ++i) {
        const unsigned fresh = barLength(working[i], scale);
        const unsigned old = plugin.bars[i].load(std::memory_order_relaxed);
        const unsigned bar = fresh > old ? fresh : (fresh + 3 * old) >> 2;
        plugin.bars[i].store(static_cast<unsigned char>(bar), std::memory_order_relaxed);
    }

    if (plugin.peakMarkers.load(std::memory_order_relaxed)) {
        const float drop = plugin.peakDropSpeed.load(std::memory_order_relaxed);
        for (int i = first; i < end; ++i) {
            const float bar = plugin.bars[i].load(std::memory_order_relaxed);
            const float peak = plugin.peaks[i].load(std::memory_order_relaxed);
            plugin.peaks[i].store(bar >= peak ? bar : peak - drop, std::memory_order_relaxed);
        }
    }

    requestRepaintWhenDue();
}

}  // namespace vumira
