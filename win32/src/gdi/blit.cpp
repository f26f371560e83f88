// Block transfers and reading bitmap bits.
//
// Provides: BitBlt (SRCCOPY), AlphaBlend (constant alpha, AC_SRC_OVER),
// GetDIBits (32-bit BI_RGB).
//
// Promises: BitBlt copies the part of the block that lies inside both
// surfaces, through a copy when source and destination are one surface, and
// a negative width or height counts back from the given corner as FillRect
// does. AlphaBlend mixes each of the four bytes of a pixel as
// dst = (src * a + dst * (255 - a) + 127) / 255 for a constant alpha a; it
// refuses negative sizes, a source block that leaves the source bitmap, and
// per-pixel alpha; a block of another size is stretched by nearest pixel.
// GetDIBits fills in the header when given no buffer, and otherwise copies
// the requested scan lines as 32-bit pixels, bottom-up for a positive
// biHeight and top-down for a negative one, and returns how many it copied.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gdi/object_table.h"
#include "gdi/raster.h"

using namespace subset::gdi;

namespace {

uint32_t blendChannel(uint32_t source, uint32_t destination, uint32_t alpha) {
    return (source * alpha + destination * (255 - alpha) + 127) / 255;
}

uint32_t blendPixel(uint32_t source, uint32_t destination, uint32_t alpha) {
    uint32_t mixed = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        mixed |= blendChannel((source >> shift) & 0xFF, (destination >> shift) & 0xFF, alpha) << shift;
    }
    return mixed;
}

// blendChannel for two channels at once, held 16 bits apart (mask
// 0x00FF00FF): each sum stays below 65153 and (v + 1 + (v >> 8)) >> 8
// equals v / 255 below 65536, so no lane carries into the next and the
// result is the same to the bit.
uint32_t blendLanes(uint32_t source, uint32_t destination, uint32_t alpha) {
    const uint32_t sum = source * alpha + destination * (255 - alpha) + 0x007F007Fu;
    return ((sum + 0x00010001u + ((sum >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

// A whole row of a same-size block; the loop has no branch, so the
// compiler can mix several pixels at a time.
void blendRow(const uint32_t* source, uint32_t* destination, std::size_t count, uint32_t alpha) {
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t from = source[i], to = destination[i];
        destination[i] = blendLanes(from & 0x00FF00FFu, to & 0x00FF00FFu, alpha) |
                         blendLanes((from >> 8) & 0x00FF00FFu, (to >> 8) & 0x00FF00FFu, alpha) << 8;
    }
}

}  // namespace

extern "C" {

BOOL WINAPI BitBlt(HDC destHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX, int sourceY,
                   DWORD rop) {
    if (rop != SRCCOPY) return FALSE;
    auto lock = lockGdi();
    DeviceContext* dest = findDC(destHandle);
    DeviceContext* source = findDC(sourceHandle);
    if (!dest || !source) return FALSE;
    const Extent destColumns = blockExtent(x, x + width);
    const Extent destRows = blockExtent(y, y + height);
    const Extent sourceColumns = blockExtent(sourceX, sourceX + width);
    const Extent sourceRows = blockExtent(sourceY, sourceY + height);
    subset::Surface& to = *dest->surface;
    const subset::Surface& from = *source->surface;
    // Offsets from source to destination; clip the block to both surfaces.
    const int dx = destColumns.low - sourceColumns.low;
    const int dy = destRows.low - sourceRows.low;
    const int left = std::max({destColumns.low, 0, dx});
    const int right = std::min({destColumns.high, to.width, from.width + dx});
    const int top = std::max({destRows.low, 0, dy});
    const int bottom = std::min({destRows.high, to.height, from.height + dy});
    if (left >= right || top >= bottom) return TRUE;
    // Walk rows away from the overlap so that a copy within one surface reads
    // each source row before it is overwritten; within a row, memmove.
    const bool upward = &to == &from && dy > 0;
    const std::size_t rowBytes = static_cast<std::size_t>(right - left) * sizeof(uint32_t);
    for (int i = 0; i < bottom - top; ++i) {
        const int ty = upward ? bottom - 1 - i : top + i;
        const uint32_t* sourceRow = from.pixels.data() + static_cast<size_t>(ty - dy) * from.width + (left - dx);
        std::memmove(pixelAt(to, left, ty), sourceRow, rowBytes);
    }
    return TRUE;
}

BOOL WINAPI AlphaBlend(HDC destHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX,
                       int sourceY, int sourceWidth, int sourceHeight, BLENDFUNCTION blend) {
    if (blend.BlendOp != AC_SRC_OVER || blend.AlphaFormat != 0) return FALSE;
    if (width < 0 || height < 0 || sourceWidth < 0 || sourceHeight < 0) return FALSE;
    auto lock = lockGdi();
    DeviceContext* dest = findDC(destHandle);
    DeviceContext* source = findDC(sourceHandle);
    if (!dest || !source) return FALSE;
    subset::Surface& to = *dest->surface;
    const subset::Surface& from = *source->surface;
    if (sourceX < 0 || sourceY < 0 || sourceX + sourceWidth > from.width || sourceY + sourceHeight > from.height) {
        return FALSE;
    }
    if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0) return TRUE;
    const uint32_t alpha = blend.SourceConstantAlpha;
    if (&to != &from && width == sourceWidth && height == sourceHeight) {
        // Unstretched between two surfaces (a back buffer onto a window, as
        // a motion-blurred frame is): row by row, clipped once.
        const int left = std::max(x, 0), right = std::min(x + width, to.width);
        const int top = std::max(y, 0), bottom = std::min(y + height, to.height);
        for (int ty = top; ty < bottom && left < right; ++ty) {
            const uint32_t* sourceRow = &from.pixels[static_cast<size_t>(sourceY + ty - y) * from.width + (sourceX + left - x)];
            blendRow(sourceRow, pixelAt(to, left, ty), static_cast<std::size_t>(right - left), alpha);
        }
        return TRUE;
    }
    // Read the source block first: source and destination may be one surface.
    std::vector<uint32_t> block(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row) {
        const int sy = sourceY + static_cast<int>(static_cast<long long>(row) * sourceHeight / height);
        for (int column = 0; column < width; ++column) {
            const int sx = sourceX + static_cast<int>(static_cast<long long>(column) * sourceWidth / width);
            block[static_cast<size_t>(row) * width + column] =
                from.pixels[static_cast<size_t>(sy) * from.width + sx];
        }
    }
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            if (!insideSurface(to, x + column, y + row)) continue;
            uint32_t* target = pixelAt(to, x + column, y + row);
            *target = blendPixel(block[static_cast<size_t>(row) * width + column], *target, alpha);
        }
    }
    return TRUE;
}

int WINAPI GetDIBits(HDC dcHandle, HBITMAP bitmapHandle, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info,
                     UINT usage) {
    auto lock = lockGdi();
    GdiObject* bitmap = findObject(bitmapHandle, ObjectKind::bitmap);
    if (!findDC(dcHandle) || !bitmap || !info || usage != DIB_RGB_COLORS) return 0;
    const subset::Surface& surface = *bitmap->bitmap.surface;
    BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER)) return 0;
    if (!bits) {
        header.biWidth = surface.width;
        header.biHeight = surface.height;
        header.biPlanes = 1;
        header.biBitCount = 32;
        header.biCompression = BI_RGB;
        header.biSizeImage = static_cast<DWORD>(surface.width) * static_cast<DWORD>(surface.height) * 4;
        return 1;
    }
    if (header.biBitCount != 32 || header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight == 0) {
        return 0;
    }
    const bool bottomUp = header.biHeight > 0;
    const long long dibHeight = std::llabs(static_cast<long long>(header.biHeight));
    const int copyWidth = std::min<int>(header.biWidth, surface.width);
    const long long first = start;
    const long long last = std::min<long long>(first + lines, std::min<long long>(dibHeight, surface.height));
    auto* out = static_cast<uint32_t*>(bits);
    int copied = 0;
    for (long long line = first; line < last; ++line) {
        // Scan line 0 of a bottom-up DIB is the bitmap's bottom row.
        const long long surfaceRow = bottomUp ? surface.height - 1 - line : line;
        uint32_t* target = out + (line - first) * header.biWidth;
        if (surfaceRow >= 0 && surfaceRow < surface.height) {
            std::memcpy(target, surface.pixels.data() + surfaceRow * surface.width,
                        static_cast<size_t>(copyWidth) * 4);
        }
        ++copied;
    }
    return copied;
}

}  // extern "C"
