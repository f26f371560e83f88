// Painting the spectrum. Every frame is drawn into the back buffer (a memory
// DC with a bitmap of the window's client size): the background, one bar and
// marker per band, and, over the see-through background, the corner tab.
// The frame then goes to the window in one transfer, copied, or blended over
// what the window shows for the motion-blur trail.
//
// Both layouts are one loop over the bands along an axis (Axis below). Bars
// of the side-by-side layout are filled from an upside-down rectangle (top
// below bottom), which the platform fills from bottom + 1 through top:
// exactly the bar's length in rows above and including the base line.
#include "display/render.h"

#include <cmath>
#include <cstring>

#include "audio/log_spectrum.h"
#include "config/plugin_state.h"
#include "signal/bands.h"

namespace vumira {
namespace {

constexpr int kTabReach = 10;  // the tab's legs end this far from the window's edges

// Truncation toward zero of a pixel coordinate. Values beyond any bitmap
// are held at a bound instead of overflowing an int; NaN reads as 0.
int truncToPixel(double value) {
    if (!(value == value)) return 0;
    if (value > 1e6) return 1000000;
    if (value < -1e6) return -1000000;
    return static_cast<int>(value);
}

// The direction of a layout: where the bands lie side by side and where
// their bars start and grow. "h" lays the bands from left to right with bars
// rising from a base line; every other layout stacks them from top to bottom
// with bars growing to the right.
struct Axis {
    bool sideBySide;
    int bandStart;   // the first band's edge: left for "h", top otherwise
    int bandSpan;    // the pixels that the bands share
    int barBase;     // where every bar starts: the base line for "h", the left edge otherwise
    int barGrowth;   // -1: bars grow up; +1: to the right

    // The pixel at `along` across the bands and `level` along the bar.
    POINT at(int along, int level) const { return sideBySide ? POINT{along, level} : POINT{level, along}; }
    // A bar of `length` pixels over the band from `from` to `to`. "h" passes
    // the rectangle upside down, which fills exactly `length` rows above and
    // including the base line.
    RECT bar(int from, int to, unsigned length) const {
        const int end = barBase + barGrowth * static_cast<int>(length);
        return sideBySide ? RECT{from, barBase, to, end} : RECT{barBase, from, end, to};
    }
    // Where a marker at `peak` pixels along the bar lies.
    int markerLevel(double peak) const { return truncToPixel(barBase + barGrowth * peak); }
};

Axis axisFor(const char* scopeType, const RECT& client, int inset, int width, int height) {
    const int x0 = client.left + inset;
    if (std::strcmp(scopeType, "h") == 0) return {true, x0, width - 2 * inset, client.top + height - inset, -1};
    return {false, client.top + inset, height - 2 * inset, x0, +1};
}

struct Frame {
    HDC dc;
    Axis axis;
    DisplayedBands bands;
    bool logBands;  // bars and peaks of the log-band spectrum
    bool markers;
    bool dotMarkers;   // exactly "dot"
    bool startsLine;   // exactly "line": the connected line starts at the first band's edge
};

unsigned barAt(const Frame& f, int band) {
    if (f.logBands) return plugin.logSpectrum.bars[band].load(std::memory_order_relaxed);
    return plugin.bars[band].load(std::memory_order_relaxed);
}
double peakAt(const Frame& f, int band) {
    const float peak = f.logBands ? plugin.logSpectrum.peaks[band].load(std::memory_order_relaxed)
                                  : plugin.peaks[band].load(std::memory_order_relaxed);
    return static_cast<double>(peak);
}

// The band size: the span's quotient by the band count, rounded once to
// single precision (both operands are exact in a float).
float bandSize(int span, int bandCount) { return static_cast<float>(span) / static_cast<float>(bandCount); }

// One bar per band, then its marker, in increasing band number.
void paintBands(const Frame& f, HBRUSH barBrush) {
    const Axis& axis = f.axis;
    const double size = bandSize(axis.bandSpan, f.bands.count);
    if (f.startsLine && slotInArrays(f.bands.firstSlot)) {
        const POINT start = axis.at(axis.bandStart, axis.markerLevel(peakAt(f, f.bands.firstSlot)));
        MoveToEx(f.dc, start.x, start.y, nullptr);
    }
    const auto [first, end] = slotsInArrays(f.bands);
    for (int band = first; band < end; ++band) {
        const int k = band - f.bands.firstSlot;
        const int from = axis.bandStart + truncToPixel(k * size);
        const int to = axis.bandStart + truncToPixel((k + 1) * size);
        const RECT bar = axis.bar(from, to, barAt(f, band));
        FillRect(f.dc, &bar, barBrush);
        if (!f.markers) continue;
        const int level = axis.markerLevel(peakAt(f, band));
        const POINT markerEnd = axis.at(to, level);
        if (f.dotMarkers) {
            const POINT markerStart = axis.at(from, level);
            MoveToEx(f.dc, markerStart.x, markerStart.y, nullptr);
            LineTo(f.dc, markerEnd.x, markerEnd.y);
        } else if (band != 0) {
            LineTo(f.dc, markerEnd.x, markerEnd.y);
        }
    }
}

struct TabCorner {
    const char* position;
    bool right;
    bool bottom;
};
// Compared in this order; "ht" means no tab, any other text the bottom right.
constexpr TabCorner kTabCorners[] = {{"br", true, true}, {"tr", true, false}, {"bl", false, true}, {"tl", false, false}};

// The small right triangle in one corner that marks the see-through
// window: right angle in the corner, inset by the border width, legs
// reaching to kTabReach pixels from the window's edges.
void paintTab(HDC dc, const RECT& client) {
    COLORREF fill;  // the style item's main colour, at byte 16 of the record
    std::memcpy(&fill, reinterpret_cast<const unsigned char*>(&plugin.styleItem) + 16, sizeof fill);
    const int w = plugin.borderWidth;
    HPEN pen = CreatePen(PS_SOLID, w, plugin.borderColor);
    HBRUSH brush = CreateSolidBrush(fill);
    HGDIOBJ keptPen = SelectObject(dc, pen);
    HGDIOBJ keptBrush = SelectObject(dc, brush);

    if (std::strcmp(plugin.tabPosition, "ht") != 0) {
        TabCorner corner = kTabCorners[0];
        for (const auto& candidate : kTabCorners) {
            if (std::strcmp(plugin.tabPosition, candidate.position) == 0) {
                corner = candidate;
                break;
            }
        }
        const LONG cornerX = corner.right ? client.right - w : client.left + w;
        const LONG legX = corner.right ? client.right - kTabReach : client.left + kTabReach;
        const LONG cornerY = corner.bottom ? client.bottom - w : client.top + w;
        const LONG legY = corner.bottom ? client.bottom - kTabReach : client.top + kTabReach;
        const POINT triangle[3] = {{cornerX, cornerY}, {legX, cornerY}, {cornerX, legY}};
        Polygon(dc, triangle, 3);
    }

    SelectObject(dc, keptBrush);
    DeleteObject(brush);
    SelectObject(dc, keptPen);
    DeleteObject(pen);
}

}  // namespace

void createBackBuffer() {
    HWND window = plugin.pluginWindow.load();
    PAINTSTRUCT paint;
    HDC windowDC = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    plugin.backBufferDC = CreateCompatibleDC(nullptr);
    // Compatible with the window, not with the memory DC, whose first bitmap is one-bit.
    plugin.backBufferBitmap = CreateCompatibleBitmap(windowDC, client.right, client.bottom);
    plugin.previousBitmap = static_cast<HBITMAP>(SelectObject(plugin.backBufferDC, plugin.backBufferBitmap));
    EndPaint(window, &paint);
}

void releaseBackBuffer() {
    if (!plugin.backBufferDC) return;
    HGDIOBJ ours = SelectObject(plugin.backBufferDC, plugin.previousBitmap);
    DeleteObject(ours);
    DeleteDC(plugin.backBufferDC);
    plugin.backBufferDC = nullptr;
    plugin.backBufferBitmap = nullptr;
    plugin.previousBitmap = nullptr;
}

void recreateBackBuffer() {
    releaseBackBuffer();
    createBackBuffer();
    InvalidateRect(plugin.pluginWindow.load(), nullptr, FALSE);
}

void followClientSize() {
    HWND window = plugin.pluginWindow.load();
    RECT client{};
    GetClientRect(window, &client);
    BITMAP described{};
    if (plugin.backBufferBitmap && GetObjectA(plugin.backBufferBitmap, sizeof described, &described) &&
        described.bmWidth == client.right && described.bmHeight == client.bottom)
        return;
    recreateBackBuffer();
}

void paintSpectrum() {
    HWND window = plugin.pluginWindow.load();
    PAINTSTRUCT paint;
    HDC windowDC = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = plugin.backBufferDC;

    if (plugin.transBackEnabled) {
        HBRUSH key = CreateSolidBrush(colorKey);
        FillRect(dc, &client, key);
        DeleteObject(key);
    } else {
        MakeStyleGradient(dc, &client, &plugin.styleItem, plugin.showBorder);
    }

    HGDIOBJ keptFont = plugin.styleFont ? SelectObject(dc, plugin.styleFont) : nullptr;
    SetBkMode(dc, TRANSPARENT);

    HPEN markerPen = CreatePen(PS_SOLID, 1, plugin.peakColor);
    HGDIOBJ keptPen = SelectObject(dc, markerPen);

    char scopeType[kScopeTypeSize];
    plugin.scopeType.get(scopeType);
    const bool logBands = plugin.spectrum.logScale.load(std::memory_order_relaxed) != 0;
    const BandRange range{plugin.freqMin.load(std::memory_order_relaxed), plugin.freqMax.load(std::memory_order_relaxed)};
    const Frame frame{dc,
                      axisFor(scopeType, client, plugin.bevelWidth + plugin.borderWidth,
                              plugin.width.load(std::memory_order_relaxed),
                              plugin.height.load(std::memory_order_relaxed)),
                      logBands ? logDisplayedBands(currentLogBands()) : exactDisplayedBands(range, plugin.bandCount),
                      logBands,
                      plugin.peakMarkers.load(std::memory_order_relaxed),
                      std::strcmp(plugin.peakType, "dot") == 0,
                      std::strcmp(plugin.peakType, "line") == 0};
    if (frame.bands.count > 0) {
        HBRUSH barBrush = CreateSolidBrush(plugin.scopeColor);
        paintBands(frame, barBrush);
        DeleteObject(barBrush);
    }

    SelectObject(dc, keptPen);
    DeleteObject(markerPen);

    if (plugin.transBackEnabled) paintTab(dc, client);

    if (keptFont) SelectObject(dc, keptFont);

    const RECT& update = paint.rcPaint;
    const int x = update.left, y = update.top;
    const int dx = update.right - update.left, dy = update.bottom - update.top;
    if (plugin.motionBlur && !plugin.transBackEnabled)
        AlphaBlend(windowDC, x, y, dx, dy, dc, x, y, dx, dy, plugin.blendFunction);
    else
        BitBlt(windowDC, x, y, dx, dy, dc, x, y, SRCCOPY);

    EndPaint(window, &paint);
}

}  // namespace vumira
