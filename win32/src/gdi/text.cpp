// Drawing and measuring text.
//
// Provides: TextOutA, DrawTextA (DT_LEFT, DT_CENTER, DT_RIGHT, DT_TOP,
// DT_VCENTER, DT_BOTTOM, DT_SINGLELINE, DT_CALCRECT, DT_END_ELLIPSIS,
// DT_NOPREFIX, DT_NOCLIP), GetTextExtentPoint32A.
//
// Promises: text is drawn in the DC's text colour with the selected font,
// its cell's top left at the given point (baseline at y + ascent); with an
// OPAQUE background mode the cell (text width x font height) is first filled
// with the background colour. Antialiased coverage mixes the text colour into
// what is there. The extent of a text is the sum of its characters' advances
// by the font's height (no kerning, as the real call; an empty text measures
// 0 by 0). DrawTextA does nothing and returns 0 for an empty text; it breaks lines
// only at line ends (CR, LF or CR LF) unless DT_SINGLELINE, aligns each line
// in the rectangle (centred: left + (width - text width) / 2), centres
// (top + height / 2 - text height / 2) or bottoms a single line when asked, clips to the
// rectangle unless DT_NOCLIP, turns "&x" into an underlined x and "&&" into
// "&" unless DT_NOPREFIX, and with DT_END_ELLIPSIS cuts a line that does not
// fit to the longest start that fits with "..." after it. It returns the
// height of the text (with DT_VCENTER or DT_BOTTOM, from the rectangle's top
// to the text's bottom); with DT_CALCRECT it draws nothing and sets the
// rectangle's right and bottom to bound the text as it would be drawn
// (cut to fit when DT_END_ELLIPSIS is given).
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "gdi/fonts.h"
#include "gdi/object_table.h"
#include "gdi/raster.h"

namespace subset::gdi {
namespace {

struct Clip {
    int left, top, right, bottom;
};

Clip surfaceClip(const Surface& surface) { return {0, 0, surface.width, surface.height}; }

Clip intersect(const Clip& a, const Clip& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

uint32_t mix(uint32_t ink, uint32_t under, uint32_t coverage) {
    uint32_t mixed = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t a = (ink >> shift) & 0xFF;
        const uint32_t b = (under >> shift) & 0xFF;
        mixed |= ((a * coverage + b * (255 - coverage) + 127) / 255) << shift;
    }
    return mixed;
}

void fillClipped(Surface& surface, const Clip& clip, int left, int top, int right, int bottom, uint32_t pixel) {
    fillBox(surface, std::max(left, clip.left), std::max(top, clip.top), std::min(right, clip.right),
            std::min(bottom, clip.bottom), pixel);
}

// One line of text with its cell's top left at (x, y). `underlined` lists
// the positions of characters to underline.
void drawRun(DeviceContext& dc, FontFace& face, int x, int y, std::string_view text, const Clip& clip,
             const std::vector<size_t>& underlined) {
    Surface& surface = *dc.surface;
    const uint32_t ink = pixelFromColor(dc.textColor);
    if (dc.bkMode == OPAQUE) {
        fillClipped(surface, clip, x, y, x + textWidth(face, text), y + face.height(), pixelFromColor(dc.bkColor));
    }
    const int baseline = y + face.ascent;
    const int lineThickness = std::max(1, face.height() / 16);
    int penX = x;
    for (size_t i = 0; i < text.size(); ++i) {
        const Glyph& glyph = face.glyph(static_cast<unsigned char>(text[i]));
        const int originX = penX + glyph.left;
        const int originY = baseline - glyph.top;
        for (int row = 0; row < glyph.rows; ++row) {
            const int py = originY + row;
            if (py < clip.top || py >= clip.bottom) continue;
            for (int column = 0; column < glyph.width; ++column) {
                const int px = originX + column;
                if (px < clip.left || px >= clip.right) continue;
                const uint32_t coverage = glyph.coverage[static_cast<size_t>(row) * glyph.width + column];
                if (coverage == 0) continue;
                uint32_t* target = pixelAt(surface, px, py);
                *target = coverage == 255 ? ink : mix(ink, *target, coverage);
            }
        }
        if (std::find(underlined.begin(), underlined.end(), i) != underlined.end()) {
            fillClipped(surface, clip, penX, baseline + 1, penX + glyph.advance, baseline + 1 + lineThickness, ink);
        }
        penX += glyph.advance;
    }
}

// A line of DrawTextA with its prefix marks taken out.
struct Line {
    std::string text;
    std::vector<size_t> underlined;
};

Line stripPrefixes(std::string_view raw, bool prefixes) {
    Line line;
    if (!prefixes) {
        line.text = std::string(raw);
        return line;
    }
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '&' && i + 1 < raw.size()) {
            ++i;
            if (raw[i] != '&') line.underlined.push_back(line.text.size());
        } else if (raw[i] == '&') {
            continue;  // a lone mark at the end shows nothing
        }
        line.text += raw[i];
    }
    return line;
}

std::vector<std::string_view> splitLines(std::string_view text, bool singleLine) {
    std::vector<std::string_view> lines;
    if (singleLine) {
        lines.push_back(text);
        return lines;
    }
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Cuts a line that is wider than `room` to the longest start that fits with
// "..." after it.
void addEndEllipsis(FontFace& face, Line& line, int room) {
    if (textWidth(face, line.text) <= room) return;
    const int dots = textWidth(face, "...");
    size_t keep = line.text.size();
    while (keep > 0 && textWidth(face, std::string_view(line.text).substr(0, keep)) + dots > room) --keep;
    line.text.resize(keep);
    line.text += "...";
    std::erase_if(line.underlined, [&](size_t position) { return position >= keep; });
}

std::string_view textOf(LPCSTR text, int length) {
    if (!text) return {};
    return length < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(length));
}

}  // namespace
}  // namespace subset::gdi

using namespace subset::gdi;

extern "C" {

BOOL WINAPI GetTextExtentPoint32A(HDC handle, LPCSTR text, int length, LPSIZE size) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || !size || length < 0 || (!text && length > 0)) return FALSE;
    FontFace* face = faceOf(*dc);
    if (!face) return FALSE;
    const std::string_view run = textOf(text, length);
    size->cx = textWidth(*face, run);
    size->cy = run.empty() ? 0 : face->height();  // no characters, no extent either way
    return TRUE;
}

BOOL WINAPI TextOutA(HDC handle, int x, int y, LPCSTR text, int length) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || length < 0 || (!text && length > 0)) return FALSE;
    FontFace* face = faceOf(*dc);
    if (!face) return FALSE;
    drawRun(*dc, *face, x, y, textOf(text, length), surfaceClip(*dc->surface), {});
    return TRUE;
}

int WINAPI DrawTextA(HDC handle, LPCSTR text, int length, LPRECT rect, UINT format) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || !rect || (!text && length != 0)) return 0;
    FontFace* face = faceOf(*dc);
    if (!face) return 0;
    const std::string_view all = textOf(text, length);
    if (all.empty()) return 0;
    const bool singleLine = (format & DT_SINGLELINE) != 0;
    const int lineHeight = face->height();
    const int room = rect->right - rect->left;

    std::vector<Line> lines;
    for (std::string_view raw : splitLines(all, singleLine)) {
        lines.push_back(stripPrefixes(raw, (format & DT_NOPREFIX) == 0));
        if (format & DT_END_ELLIPSIS) addEndEllipsis(*face, lines.back(), room);
    }
    const int textHeight = lineHeight * static_cast<int>(lines.size());

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& line : lines) widest = std::max(widest, textWidth(*face, line.text));
        rect->right = rect->left + widest;
        rect->bottom = rect->top + textHeight;
        return textHeight;
    }

    int top = rect->top;
    if (singleLine && (format & DT_VCENTER)) {
        top = rect->top + (rect->bottom - rect->top) / 2 - lineHeight / 2;  // each half rounded down
    } else if (singleLine && (format & DT_BOTTOM)) {
        top = rect->bottom - lineHeight;
    }
    Clip clip = surfaceClip(*dc->surface);
    if (!(format & DT_NOCLIP)) clip = intersect(clip, {rect->left, rect->top, rect->right, rect->bottom});
    int y = top;
    for (const Line& line : lines) {
        const int width = textWidth(*face, line.text);
        int x = rect->left;
        if (format & DT_CENTER) {
            x = rect->left + (room - width) / 2;
        } else if (format & DT_RIGHT) {
            x = rect->right - width;
        }
        drawRun(*dc, *face, x, y, line.text, clip, line.underlined);
        y += lineHeight;
    }
    return singleLine && (format & (DT_VCENTER | DT_BOTTOM)) ? top - rect->top + lineHeight : textHeight;
}

}  // extern "C"
