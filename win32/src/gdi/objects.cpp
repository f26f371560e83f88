// Making pens, brushes and bitmaps.
//
// Provides: CreateSolidBrush, CreatePen, CreateCompatibleBitmap, CreateBitmap.
//
// Promises: a pen of width 0 or less draws one pixel wide; a style other than
// PS_SOLID or PS_NULL is refused; CreateCompatibleBitmap makes a 32-bit
// bitmap (every DC here is 32-bit) whose pixels start black, returns the
// stock 1x1 bitmap for a width or height of 0, and refuses a negative size
// or an unknown DC (a null DC means the screen). CreateBitmap makes 32-bit
// bitmaps only (one plane, 32 bits a pixel), black or from the given rows
// of 32-bit pixels.
#include <cstring>

#include "gdi/object_table.h"

using namespace subset::gdi;

namespace {

// Refuses sizes that would not fit in memory on any machine we run on.
constexpr long long maxBitmapPixels = 1LL << 28;

HBITMAP newBitmap(int width, int height, const void* bits) {
    if (static_cast<long long>(width) * height > maxBitmapPixels) return nullptr;
    auto object = std::make_unique<GdiObject>();
    object->kind = ObjectKind::bitmap;
    object->bitmap.surface = std::make_shared<subset::Surface>();
    object->bitmap.surface->resize(width, height);
    // A size the surface could not take is refused, as the real call refuses
    // one it has no memory for.
    if (object->bitmap.surface->width != width || object->bitmap.surface->height != height) return nullptr;
    if (bits) {
        std::memcpy(object->bitmap.surface->pixels.data(), bits, object->bitmap.surface->pixels.size() * 4);
    }
    return static_cast<HBITMAP>(addObject(std::move(object)));
}

}  // namespace

extern "C" {

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    auto lock = lockGdi();
    auto object = std::make_unique<GdiObject>();
    object->kind = ObjectKind::brush;
    object->brush.color = color & 0x00FFFFFF;
    return static_cast<HBRUSH>(addObject(std::move(object)));
}

HPEN WINAPI CreatePen(int style, int width, COLORREF color) {
    if (style != PS_SOLID && style != PS_NULL) return nullptr;
    auto lock = lockGdi();
    auto object = std::make_unique<GdiObject>();
    object->kind = ObjectKind::pen;
    object->pen.style = style;
    object->pen.width = width;
    object->pen.color = color & 0x00FFFFFF;
    return static_cast<HPEN>(addObject(std::move(object)));
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height) {
    auto lock = lockGdi();
    if (dc && !findDC(dc)) return nullptr;
    if (width < 0 || height < 0) return nullptr;
    if (width == 0 || height == 0) return stockBitmap();
    return newBitmap(width, height, nullptr);
}

HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (planes != 1 || bitsPerPixel != 32 || width < 0 || height < 0) return nullptr;
    auto lock = lockGdi();
    if (width == 0 || height == 0) return stockBitmap();
    return newBitmap(width, height, bits);
}

}  // extern "C"
