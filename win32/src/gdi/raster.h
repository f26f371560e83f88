// Pixel-level helpers shared by the drawing calls: everything clips to the
// surface, so callers may pass any coordinates.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "internal/surface.h"

namespace subset::gdi {

// Products of two coordinate differences need more than 64 bits.
__extension__ typedef __int128 Wide;

inline bool insideSurface(const Surface& surface, int x, int y) {
    return x >= 0 && y >= 0 && x < surface.width && y < surface.height;
}

inline uint32_t* pixelAt(Surface& surface, int x, int y) {
    return surface.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(surface.width) + x;
}

inline void plot(Surface& surface, int x, int y, uint32_t pixel) {
    if (insideSurface(surface, x, y)) *pixelAt(surface, x, y) = pixel;
}

// Sets `count` pixels from `first`. Blocks of a fixed size let the compiler
// store several pixels an instruction; std::fill of 32-bit words compiles to
// one store a pixel at -O2, and a background fills every pixel every frame.
inline void fillPixels(uint32_t* first, std::size_t count, uint32_t pixel) {
    constexpr std::size_t kBlock = 16;
    std::size_t i = 0;
    for (; i + kBlock <= count; i += kBlock)
        for (std::size_t j = 0; j < kBlock; ++j) first[i + j] = pixel;
    for (; i < count; ++i) first[i] = pixel;
}

// Fills columns [left, right) of row y.
inline void fillSpan(Surface& surface, int left, int right, int y, uint32_t pixel) {
    if (y < 0 || y >= surface.height) return;
    left = std::max(left, 0);
    right = std::min(right, surface.width);
    if (left < right) fillPixels(pixelAt(surface, left, y), static_cast<std::size_t>(right - left), pixel);
}

// Fills columns [left, right) of rows [top, bottom).
inline void fillBox(Surface& surface, int left, int top, int right, int bottom, uint32_t pixel) {
    top = std::max(top, 0);
    bottom = std::min(bottom, surface.height);
    for (int y = top; y < bottom; ++y) fillSpan(surface, left, right, y, pixel);
}

// The pixels that an extent from `start` to `end` covers, as the block
// transfers count them: [start, end) when it runs forward; when it runs
// backward, the same number of pixels ending at `start`: [end + 1, start + 1).
struct Extent {
    int low;
    int high;  // one past the last pixel
};
inline Extent blockExtent(int start, int end) {
    return end >= start ? Extent{start, end} : Extent{end + 1, start + 1};
}

}  // namespace subset::gdi
