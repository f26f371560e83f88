// The plug-in's fixed limits, each written once: the size of the one
// recording buffer, the bar heights that the wheel and the menu offer, the
// band slots of `bars` and `peaks`, and the peaks that a start clears.
#pragma once

#include <cstddef>

namespace vumira {

// The recording buffer in bytes: the loader and the commands keep its size
// within these, and the menu offers the powers of two between them.
inline constexpr int kBufferSizeMin = 32;
inline constexpr int kBufferSizeMax = 256;

// The bar heights that the mouse wheel steps through and the menu lists. A
// height stored by a command or read from the rc file is kept as given.
inline constexpr int kBarHeightMin = 1;
inline constexpr int kBarHeightMax = 128;

// The smallest window the rc file records, and the smallest a start makes.
// A start also keeps the window within the screen: a stored size outside
// 16 .. the screen's size is brought to the nearest bound, and said so.
inline constexpr int kWindowSizeMin = 16;

// One entry of `bars` and `peaks` per band index. The analysis turns each
// recorded byte into one working value in an array of the same length, so
// it also takes at most this many bytes of a buffer.
inline constexpr std::size_t kBandSlots = 512;

// A start clears only the first peaks; the bars it clears follow the
// buffer size of the previous start.
inline constexpr std::size_t kPeaksClearedAtStart = 128;

static_assert(kPeaksClearedAtStart <= kBandSlots);
// Every band of the largest buffer, and the bar at its size that a start
// clears, lie inside the arrays.
static_assert(static_cast<std::size_t>(kBufferSizeMax) < kBandSlots);

}  // namespace vumira
