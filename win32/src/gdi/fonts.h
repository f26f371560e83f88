// Font faces behind GDI font objects: a FreeType face chosen through
// fontconfig and set to the LOGFONT's pixel size, with its glyphs cached.
// Call with the GDI lock held.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gdi/object_table.h"

namespace subset::gdi {

struct Glyph {
    int advance = 0;  // whole pixels to the next glyph's origin
    int left = 0;     // from the origin to the first column of the coverage
    int top = 0;      // from the baseline up to the first row of the coverage
    int width = 0;
    int rows = 0;
    std::vector<uint8_t> coverage;  // 0 (none) .. 255 (full), rows top to bottom
};

struct FontFace {
    void* face = nullptr;  // FT_Face, kept opaque here
    int ascent = 0;        // pixels above the baseline
    int descent = 0;       // pixels below it
    int internalLeading = 0;
    int averageWidth = 0;
    int maxWidth = 0;
    bool antialiased = true;
    std::unordered_map<unsigned, Glyph> glyphs;

    FontFace() = default;
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;
    ~FontFace();

    int height() const { return ascent + descent; }
    const Glyph& glyph(unsigned char character);
};

// The face for a font object (made on first use); null when no font file
// can be found or read.
FontFace* faceOf(GdiObject& font);

// The face of the font selected into a DC.
FontFace* faceOf(DeviceContext& dc);

// The width in pixels of a run of 8-bit text: the sum of its advances.
int textWidth(FontFace& face, std::string_view text);

}  // namespace subset::gdi
