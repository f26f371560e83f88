// What the x11 display's windows show: the last picture presented and the
// bounding shape of a layered window.
//
// Provides (inside the subset): subset::display::x11::presentX11Window,
// resizePicture, releasePicture, putPicture, applyShape.
//
// Promises: a present copies the changed part of the client pixels into the
// window's picture (where the client area lies inside the window) and sends
// the pixels that differ from the picture before (in runs of changed rows;
// all of it for the first present). Where the server reads shared memory
// the picture lives in a segment, and a part of 65536 pixels or more goes
// with XShmPutImage, the picture written again only once the server has
// finished reading it; a smaller part, or any part elsewhere, with XPutImage,
// straight from the picture when the server's pixels are 0x00RRGGBB words,
// else converted pixel by pixel to the visual's masks. A
// layered window shows nothing (an empty bounding shape) until its
// attributes are set; with a colour key, its shape holds the pixels of the
// last picture that differ from the key (none before the first present),
// in YX-banded rectangles, set again only when it changed; any other window
// has no shape.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <cstdlib>
#include <cstring>

#include "display/x11_state.h"
#include "internal/rectangles.h"

namespace subset::display::x11 {
namespace {

// A 0x00RRGGBB pixel as the server's pixel value, for visuals that differ.
unsigned long serverPixel(const Visual* visual, uint32_t pixel) {
    auto place = [](unsigned long mask, unsigned value) -> unsigned long {
        if (!mask) return 0;
        int shift = 0, bits = 0;
        while (!((mask >> shift) & 1)) ++shift;
        while ((mask >> (shift + bits)) & 1) ++bits;
        unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
        return (scaled << shift) & mask;
    };
    return place(visual->red_mask, (pixel >> 16) & 0xFF) | place(visual->green_mask, (pixel >> 8) & 0xFF) |
           place(visual->blue_mask, pixel & 0xFF);
}

// Whether a row holds the key at all. Blocks of a fixed size without an
// early exit let the compiler compare several pixels in one instruction:
// the rows of an opaque picture, which hold none, cost a fraction of a
// walk through their runs.
bool holdsKey(const uint32_t* row, int width, uint32_t key) {
    constexpr int kBlock = 16;
    unsigned found = 0;
    int x = 0;
    for (; x + kBlock <= width; x += kBlock) {
        unsigned inBlock = 0;
        for (int i = 0; i < kBlock; ++i) inBlock |= row[x + i] == key ? 1u : 0u;
        found |= inBlock;
    }
    for (; x < width; ++x) found |= row[x] == key ? 1u : 0u;
    return found != 0;
}

// The runs of a row's pixels that differ from the key, left to right.
void appendShownRuns(const uint32_t* row, int width, uint32_t key, std::vector<std::pair<int, int>>& runs) {
    if (!holdsKey(row, width, key)) {
        if (width > 0) runs.emplace_back(0, width);  // all of the row shows
        return;
    }
    for (int x = 0; x < width;) {
        if (row[x] == key) {
            ++x;
            continue;
        }
        const int start = x;
        while (x < width && row[x] != key) ++x;
        runs.emplace_back(start, x);
    }
}

// Marks rows [top, bottom) of the picture as changed since the shape was
// made.
void markStale(NativeWindow& w, int top, int bottom) {
    if (top >= bottom) return;
    if (w.staleTop >= w.staleBottom) {
        w.staleTop = top;
        w.staleBottom = bottom;
        return;
    }
    w.staleTop = std::min(w.staleTop, top);
    w.staleBottom = std::max(w.staleBottom, bottom);
}

// The rectangles of pixels that differ from the key, in bands of rows that
// share the same runs (so the list is in YX-banded order). Only the rows
// changed since the last call, or all of them for another key or size, are
// looked at: a frame of bars changes some rows of a large window.
std::vector<XRectangle> shownRectangles(NativeWindow& w, uint32_t key) {
    if (w.shownRuns.size() != static_cast<size_t>(w.height) || w.shownKey != key) {
        w.shownRuns.assign(static_cast<size_t>(w.height), {});
        w.shownKey = key;
        w.staleTop = 0;
        w.staleBottom = w.height;
    }
    for (int y = std::max(w.staleTop, 0); y < std::min(w.staleBottom, w.height); ++y) {
        auto& runs = w.shownRuns[static_cast<size_t>(y)];
        runs.clear();
        appendShownRuns(&w.pixels[static_cast<size_t>(y) * static_cast<size_t>(w.width)], w.width, key, runs);
    }
    w.staleTop = w.staleBottom = 0;
    std::vector<XRectangle> rectangles;
    size_t bandStart = 0;
    for (int y = 0; y < w.height; ++y) {
        const auto& runs = w.shownRuns[static_cast<size_t>(y)];
        if (y > 0 && runs == w.shownRuns[static_cast<size_t>(y) - 1]) {
            for (size_t i = bandStart; i < rectangles.size(); ++i) ++rectangles[i].height;
            continue;
        }
        bandStart = rectangles.size();
        for (auto [start, end] : runs)
            rectangles.push_back(XRectangle{static_cast<short>(start), static_cast<short>(y),
                                            static_cast<unsigned short>(end - start), 1});
    }
    return rectangles;
}

}  // namespace

void applyShape(X11State& s, NativeWindow& w) {
    if (!s.shapes) return;
    std::optional<std::vector<XRectangle>> wanted;
    if (w.layered) {
        if (!(w.flags & (LWA_COLORKEY | LWA_ALPHA)))
            wanted.emplace();  // attributes not set yet: nothing shows
        else if (w.flags & LWA_COLORKEY)
            wanted = w.presented ? shownRectangles(w, pixelFromColor(w.key)) : std::vector<XRectangle>{};
    }
    auto same = [](const std::optional<std::vector<XRectangle>>& a, const std::optional<std::vector<XRectangle>>& b) {
        if (a.has_value() != b.has_value()) return false;
        if (!a) return true;
        return a->size() == b->size() && std::equal(a->begin(), a->end(), b->begin(), [](const XRectangle& p, const XRectangle& q) {
                   return p.x == q.x && p.y == q.y && p.width == q.width && p.height == q.height;
               });
    };
    if (same(wanted, w.shape)) return;
    if (wanted)
        XShapeCombineRectangles(s.display, w.id, ShapeBounding, 0, 0, wanted->data(), static_cast<int>(wanted->size()),
                                ShapeSet, YXBanded);
    else
        XShapeCombineMask(s.display, w.id, ShapeBounding, 0, 0, None, ShapeSet);
    w.shape = std::move(wanted);
}

void resizePicture(X11State& s, NativeWindow& w, int width, int height) {
    if (width == w.width && height == w.height) return;
    SharedImage shared;
    std::vector<uint32_t> own;
    uint32_t* pixels = nullptr;
    if (s.sharedMemory && usable(s, w) && attachSharedImage(s, shared, width, height)) {
        pixels = reinterpret_cast<uint32_t*>(shared.image->data);  // a new segment reads as zeros
    } else {
        own.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        pixels = own.data();
    }
    for (int y = 0; y < std::min(height, w.height); ++y)
        std::copy_n(&w.pixels[static_cast<size_t>(y) * static_cast<size_t>(w.width)], std::min(width, w.width),
                    &pixels[static_cast<size_t>(y) * static_cast<size_t>(width)]);
    releasePicture(s, w);
    w.shared = shared;
    w.ownPixels.swap(own);
    w.pixels = pixels;
    w.width = width;
    w.height = height;
    w.shownRuns.clear();  // looked at again, whole, for the next shape
}

void releasePicture(X11State& s, NativeWindow& w) {
    releaseSharedImage(s, w.shared);
    w.ownPixels.clear();
    w.ownPixels.shrink_to_fit();
    w.pixels = nullptr;
    w.width = w.height = 0;
}

void putPicture(X11State& s, NativeWindow& w, const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    // A shared put brings a completion event back, a wake-up of this
    // process each time: it pays only where it saves sending a large part
    // through the connection. A small part goes with XPutImage, straight
    // from the same memory.
    constexpr long kLeastSharedPixels = 65536;
    if (w.shared.image && long(width) * height >= kLeastSharedPixels) {
        putSharedImage(s, w, area);
        return;
    }
    if (s.directPixels) {
        XImage* image = XCreateImage(s.display, s.visual, static_cast<unsigned>(s.depth), ZPixmap, 0,
                                     reinterpret_cast<char*>(w.pixels), static_cast<unsigned>(w.width),
                                     static_cast<unsigned>(w.height), 32, w.width * 4);
        if (!image) return;
        XPutImage(s.display, w.id, s.gc, image, area.left, area.top, area.left, area.top,
                  static_cast<unsigned>(width), static_cast<unsigned>(height));
        image->data = nullptr;  // the pixels are ours
        XDestroyImage(image);
        return;
    }
    XImage* image = XCreateImage(s.display, s.visual, static_cast<unsigned>(s.depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image) return;
    image->data = static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height)));
    if (!image->data) {
        XDestroyImage(image);
        return;
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            XPutPixel(image, x, y,
                      serverPixel(s.visual, w.pixels[static_cast<size_t>(area.top + y) * static_cast<size_t>(w.width) +
                                                     static_cast<size_t>(area.left + x)]));
    XPutImage(s.display, w.id, s.gc, image, 0, 0, area.left, area.top, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XDestroyImage(image);
}

namespace {

// Where two rows of `width` pixels that differ somewhere first and last
// differ, 16 pixels at a time first: blocks of a fixed size let the compiler
// compare several pixels an instruction, and the unchanged part of a
// changed row is most of it.
constexpr int kCompareBlock = 16;

bool blockDiffers(const uint32_t* a, const uint32_t* b) {
    unsigned differs = 0;
    for (int i = 0; i < kCompareBlock; ++i) differs |= a[i] != b[i] ? 1u : 0u;
    return differs != 0;
}

int firstDifference(const uint32_t* a, const uint32_t* b, int width) {
    int x = 0;
    while (x + kCompareBlock <= width && !blockDiffers(a + x, b + x)) x += kCompareBlock;
    while (a[x] == b[x]) ++x;
    return x;
}

int lastDifference(const uint32_t* a, const uint32_t* b, int width) {  // one past it
    int end = width;
    while (end >= kCompareBlock && !blockDiffers(a + end - kCompareBlock, b + end - kCompareBlock))
        end -= kCompareBlock;
    while (a[end - 1] == b[end - 1]) --end;
    return end;
}

// Copies the rows of `area` (window coordinates) from the surface into the
// picture and returns the parts that changed: one rectangle for each run of
// changed rows, as wide as the changes in it. A frame of bars changes few
// pixels of a large window, so little is sent.
std::vector<RECT> copyChangedParts(NativeWindow& w, const Surface& surface, const RECT& area, POINT client) {
    std::vector<RECT> changed;
    bool inRun = false;
    const int width = area.right - area.left;
    for (int y = area.top; y < area.bottom; ++y) {
        const uint32_t* from = &surface.pixels[static_cast<size_t>(y - client.y) * static_cast<size_t>(surface.width) +
                                               static_cast<size_t>(area.left - client.x)];
        uint32_t* to = &w.pixels[static_cast<size_t>(y) * static_cast<size_t>(w.width) + static_cast<size_t>(area.left)];
        // memcmp compares many pixels an instruction: most rows of a frame
        // are often the same.
        if (width <= 0 || std::memcmp(from, to, static_cast<size_t>(width) * sizeof(uint32_t)) == 0) {
            inRun = false;
            continue;
        }
        const int first = firstDifference(from, to, width);
        const int last = lastDifference(from, to, width);
        std::copy(from + first, from + last, to + first);
        markStale(w, y, y + 1);
        const RECT row{area.left + first, y, area.left + last, y + 1};
        if (inRun)
            uniteRects(changed.back(), row, changed.back());
        else
            changed.push_back(row);
        inRun = true;
    }
    // Many short runs cost more requests than the pixels between them.
    constexpr size_t kMostRuns = 16;
    if (changed.size() > kMostRuns) {
        RECT all = changed.front();
        for (const RECT& run : changed) uniteRects(all, run, all);
        changed.assign(1, all);
    }
    return changed;
}

}  // namespace

void presentX11Window(void* native, const Surface& surface, const RECT& dirty, POINT client) {
    X11State& s = x11();
    auto* w = static_cast<NativeWindow*>(native);
    std::unique_lock<std::mutex> lock(s.mutex);
    RECT area = dirty;
    RECT inSurface{0, 0, surface.width, surface.height};
    if (!intersectRects(area, inSurface, area)) return;
    area = offsetRect(area, client.x, client.y);
    RECT inWindow{0, 0, w->width, w->height};
    if (!intersectRects(area, inWindow, area)) return;
    awaitSharedImage(s, *w);
    auto pixelsLock = lockPixels();  // another thread may be drawing on the surface
    std::vector<RECT> changed = copyChangedParts(*w, surface, area, client);
    pixelsLock.unlock();
    // Before the first picture the window shows nothing of it: all of the
    // area goes, the pixels that happen to equal the empty picture too.
    if (!w->presented) changed.assign(1, area);
    w->presented = true;
    if (!usable(s, *w) || changed.empty()) return;
    if (w->layered) applyShape(s, *w);  // first, so that newly shown parts get the picture below
    for (const RECT& part : changed) putPicture(s, *w, part);
    XFlush(s.display);
    // Waiting for a completion may have read other events into Xlib's queue.
    const bool waiting = eventsWaitingLocked(s);
    const Sink* sink = s.sink;
    lock.unlock();
    wakeIf(sink, waiting);
}

}  // namespace subset::display::x11
