// Pixel surfaces shared inside the subset: every window keeps one, every
// bitmap is one, and the screen is composed from the windows' surfaces.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace subset {

// 32-bit pixels 0x00RRGGBB (the byte order of a 32-bit DIB), rows top to bottom.
// The largest side a surface takes: larger than any screen we show on.
inline constexpr int kMaxSurfaceSide = 16384;

struct Surface {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    // Changes the size, keeping the content that both sizes share; new
    // pixels are black.
    void resize(int newWidth, int newHeight);
};

inline uint32_t pixelFromColor(COLORREF color) {
    return (static_cast<uint32_t>(GetRValue(color)) << 16) | (static_cast<uint32_t>(GetGValue(color)) << 8) |
           GetBValue(color);
}
inline COLORREF colorFromPixel(uint32_t pixel) {
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

// A device context that draws onto a window's surface, clipped to it; the
// DC keeps the surface alive. The window manager makes one for GetDC and
// BeginPaint and deletes it in ReleaseDC and EndPaint.
HDC createSurfaceDC(std::shared_ptr<Surface> surface);
void deleteSurfaceDC(HDC dc);

// The lock that every GDI call holds while it draws. A thread that resizes
// or reads a surface while another thread may be drawing on it (a display
// back end composing the screen, say) holds it too. GDI calls must not be
// made while holding it.
std::unique_lock<std::mutex> lockPixels();

}  // namespace subset
