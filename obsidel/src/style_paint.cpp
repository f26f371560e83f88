// Painting in the host's style: CreateStyleFont and MakeStyleGradient.
//
// The gradient runs from the item's `color` to its `colorTo`: horizontal
// from the left column to the right one, vertical from the top row to the
// bottom row, diagonal from the top-left pixel to the bottom-right one,
// cross-diagonal from the bottom-left pixel to the top-right one; a flat
// texture is `color` alone. Each channel moves in a straight line and is
// rounded to the nearest value, halves up: at pixel i of n (n > 1) it is
// (c0 * (n - 1 - i) + c1 * i + (n - 1) / 2) / (n - 1), in integers. A
// diagonal position is the mean of the horizontal and vertical fractions.
//
// The bevel is one pixel wide, on the gradient's edge ("bevel1") or one
// pixel inside it ("bevel2"). Raised: the top row and left column are light,
// the bottom row and right column dark (the dark edges own the top-right and
// bottom-left corners); sunken swaps light and dark. Light and dark are
// taken from the pixel beneath, per channel: light = v + (255 - v) / 2,
// dark = v / 2.
//
// The border, when asked for and the style's border width is above 0, is
// the rectangle's outer border-width pixels in the border colour; the
// gradient and its bevel fill what lies inside.
#include <obsidel/api.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "style.h"

namespace obsidel {
namespace {

int channel(COLORREF color, int shift) { return static_cast<int>((color >> shift) & 0xFF); }

COLORREF mix(COLORREF from, COLORREF to, int64_t step, int64_t steps) {
    if (steps <= 0) return from;
    int out[3];
    for (int i = 0; i < 3; ++i) {
        int64_t a = channel(from, 8 * i), b = channel(to, 8 * i);
        out[i] = static_cast<int>((a * (steps - step) + b * step + steps / 2) / steps);
    }
    return RGB(out[0], out[1], out[2]);
}

COLORREF lighter(COLORREF color) {
    int r = channel(color, 0), g = channel(color, 8), b = channel(color, 16);
    return RGB(r + (255 - r) / 2, g + (255 - g) / 2, b + (255 - b) / 2);
}

COLORREF darker(COLORREF color) { return RGB(channel(color, 0) / 2, channel(color, 8) / 2, channel(color, 16) / 2); }

// Colour of gradient pixel (x, y) in an area of w by h pixels.
COLORREF gradientAt(const StyleItem& item, int x, int y, int w, int h) {
    const int64_t spanX = w - 1, spanY = h - 1;
    switch (item.texture) {
    case STYLE_HORIZONTAL: return mix(item.color, item.colorTo, x, spanX);
    case STYLE_VERTICAL: return mix(item.color, item.colorTo, y, spanY);
    case STYLE_DIAGONAL:
    case STYLE_CROSSDIAGONAL: {
        int64_t row = item.texture == STYLE_DIAGONAL ? y : h - 1 - y;
        if (spanX > 0 && spanY > 0) return mix(item.color, item.colorTo, x * spanY + row * spanX, 2 * spanX * spanY);
        if (spanX > 0) return mix(item.color, item.colorTo, x, spanX);
        return mix(item.color, item.colorTo, row, spanY);
    }
    default: return item.color;
    }
}

struct Area {
    int left, top, right, bottom;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Colour of pixel (x, y), counted from the rectangle's top-left corner.
COLORREF pixelAt(const StyleItem& item, int x, int y, const Area& inner, const Area& bevel, bool border,
                 COLORREF borderColor) {
    if (!inner.contains(x, y)) return border ? borderColor : item.color;
    COLORREF color =
        gradientAt(item, x - inner.left, y - inner.top, inner.right - inner.left, inner.bottom - inner.top);
    if (item.bevelStyle != BEVEL_RAISED && item.bevelStyle != BEVEL_SUNKEN) return color;
    if (!bevel.contains(x, y)) return color;
    bool darkEdge = x == bevel.right - 1 || y == bevel.bottom - 1;
    bool lightEdge = !darkEdge && (x == bevel.left || y == bevel.top);
    if (!darkEdge && !lightEdge) return color;
    bool light = lightEdge == (item.bevelStyle == BEVEL_RAISED);
    return light ? lighter(color) : darker(color);
}

// One run of a colour over a block of identical rows, from the rectangle's
// top-left corner.
struct Run {
    int left, top, width, rows;
    COLORREF color;
};

// Splits one block of identical rows into runs of a colour.
void addRuns(std::vector<Run>& runs, const std::vector<COLORREF>& row, int top, int rows) {
    size_t start = 0;
    while (start < row.size()) {
        size_t end = start + 1;
        while (end < row.size() && row[end] == row[start]) ++end;
        runs.push_back({static_cast<int>(start), top, static_cast<int>(end - start), rows, row[start]});
        start = end;
    }
}

void paintRuns(HDC dc, const std::vector<Run>& runs, int left, int top) {
    for (const Run& run : runs) {
        if (run.width == 1 && run.rows == 1) {
            SetPixel(dc, left + run.left, top + run.top, run.color);
            continue;
        }
        HBRUSH brush = CreateSolidBrush(run.color);
        RECT area{left + run.left, top + run.top, left + run.left + run.width, top + run.top + run.rows};
        FillRect(dc, &area, brush);
        DeleteObject(brush);
    }
}

// Everything the pixels of a gradient depend on.
struct GradientKey {
    int width = 0, height = 0;
    int32_t texture = 0, bevelStyle = 0, bevelPosition = 0;
    COLORREF color = 0, colorTo = 0;
    bool border = false;
    int borderWidth = 0;
    COLORREF borderColor = 0;
    bool operator==(const GradientKey&) const = default;
};

// The runs of a gradient, worked out pixel by pixel; equal neighbouring
// rows make one block, so a flat or horizontal gradient is a few runs.
std::vector<Run> gradientRuns(const StyleItem& item, int width, int height, bool border, int borderWidth,
                              COLORREF borderColor) {
    const int inset = border ? borderWidth : 0;
    const Area inner{inset, inset, std::max(inset, width - inset), std::max(inset, height - inset)};
    const int bevelInset = item.bevelPosition == 2 ? 1 : 0;
    const Area bevel{inner.left + bevelInset, inner.top + bevelInset, inner.right - bevelInset,
                     inner.bottom - bevelInset};
    std::vector<Run> runs;
    std::vector<COLORREF> block, row(static_cast<size_t>(width));
    int blockTop = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            row[static_cast<size_t>(x)] = pixelAt(item, x, y, inner, bevel, border, borderColor);
        if (y > 0 && row != block) {
            addRuns(runs, block, blockTop, y - blockTop);
            blockTop = y;
        }
        if (y == 0 || blockTop == y) block = row;
    }
    addRuns(runs, block, blockTop, height - blockTop);
    return runs;
}

}  // namespace
}  // namespace obsidel

extern "C" {

HFONT CreateStyleFont(StyleItem* item) {
    const StyleItem& style = item ? *item : obsidel::currentStyle().toolbar;
    return CreateFontA(style.fontHeight, 0, 0, 0, style.fontWeight, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, style.fontFace);
}

void MakeStyleGradient(HDC dc, RECT* rect, StyleItem* item, int withBorder) {
    if (!dc || !rect || !item) return;
    const int width = rect->right - rect->left, height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0) return;

    const obsidel::HostStyle& style = obsidel::currentStyle();
    const bool border = withBorder && style.borderWidth > 0;
    const obsidel::GradientKey key{width,       height,     item->texture, item->bevelStyle, item->bevelPosition,
                                   item->color, item->colorTo, border,     border ? style.borderWidth : 0,
                                   border ? style.borderColor : 0};
    // A plug-in paints the same background every frame: the runs of the
    // last gradient are kept (one per thread) and painted again.
    thread_local obsidel::GradientKey lastKey;
    thread_local std::vector<obsidel::Run> lastRuns;
    if (lastRuns.empty() || !(key == lastKey)) {
        lastRuns = obsidel::gradientRuns(*item, width, height, border, style.borderWidth, style.borderColor);
        lastKey = key;
    }
    obsidel::paintRuns(dc, lastRuns, rect->left, rect->top);
}

}  // extern "C"
