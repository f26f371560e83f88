// Pixel surfaces: the storage behind every window and bitmap.
//
// Provides: subset::Surface::resize.
//
// Promises: the content that both sizes share stays where it was; pixels
// that the new size adds are black; a size below 0 is taken as 0.
#include "internal/surface.h"

#include <algorithm>

namespace subset {

void Surface::resize(int newWidth, int newHeight) {
    newWidth = std::clamp(newWidth, 0, kMaxSurfaceSide);
    newHeight = std::clamp(newHeight, 0, kMaxSurfaceSide);
    if (newWidth == width && newHeight == height) return;
    std::vector<uint32_t> resized;
    try {
        resized.assign(static_cast<size_t>(newWidth) * static_cast<size_t>(newHeight), 0);
    } catch (const std::bad_alloc&) {
        return;
    }
    const int keptWidth = std::min(width, newWidth);
    const int keptHeight = std::min(height, newHeight);
    for (int y = 0; y < keptHeight; ++y) {
        std::copy_n(pixels.begin() + static_cast<ptrdiff_t>(y) * width, keptWidth,
                    resized.begin() + static_cast<ptrdiff_t>(y) * newWidth);
    }
    pixels = std::move(resized);
    width = newWidth;
    height = newHeight;
}

}  // namespace subset
