// Fonts: choosing, sizing and rasterising faces.
//
// Provides: CreateFontA, CreateFontIndirectA, GetTextMetricsA, and inside
// the subset the faces that text drawing uses.
//
// Promises: the face is the one fontconfig matches for the LOGFONT's face
// name (a sans face when the name is empty or unknown), weight and italic
// flag. The size follows lfHeight as the real system reads it: a negative
// value is the character height (the em) in pixels, a positive value the
// cell height (ascent + descent, from the face's Windows metrics), 0 a cell
// of 16 pixels. Text is antialiased (256 levels of coverage) unless the font
// asks for NONANTIALIASED_QUALITY. lfWidth, lfEscapement and lfOrientation
// are kept but not applied. 8-bit text is read as Windows-1252.
#include "gdi/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

// gcc says it builds with the address sanitizer one way, clang another.
#if defined(__SANITIZE_ADDRESS__)
#define SUBSET_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SUBSET_LEAK_CHECKED 1
#endif
#endif
#if defined(SUBSET_LEAK_CHECKED)
#include <sanitizer/lsan_interface.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>

namespace subset::gdi {
namespace {

FT_Library freetype() {
    static FT_Library library = [] {
        FT_Library made = nullptr;
        if (FT_Init_FreeType(&made) != 0) made = nullptr;
        return made;
    }();
    return library;
}

// Windows-1252 characters 0x80..0x9F as Unicode (0 where the code page has none).
constexpr unsigned short cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

unsigned unicodeOf(unsigned char character) {
    if (character >= 0x80 && character < 0xA0) return cp1252High[character - 0x80];
    return character;
}

struct FaceFile {
    std::string path;
    int index = 0;
};

// Loads fontconfig's configuration once for the process. Its parser keeps a
// few bytes that it never frees; the leak checker is told to look away.
bool fontconfigReady() {
    static const bool ready = [] {
#if defined(SUBSET_LEAK_CHECKED)
        __lsan::ScopedDisabler ignoreLibraryLeak;
#endif
        return FcInit() == FcTrue;
    }();
    return ready;
}

// fontconfig's best match for the face name, weight and slant.
bool matchFace(const LOGFONTA& logFont, FaceFile& file) {
    if (!fontconfigReady()) return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    char name[LF_FACESIZE + 1] = {};
    std::memcpy(name, logFont.lfFaceName, LF_FACESIZE);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name[0] ? name : "sans-serif"));
    if (name[0]) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    const int weight = logFont.lfWeight == 0 ? FW_NORMAL : std::clamp<int>(logFont.lfWeight, 1, 1000);
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, logFont.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    int index = 0;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
    if (found) {
        file.path = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) file.index = index;
    }
    FcPatternDestroy(match);
    return found;
}

// Faces shared by every font object that asks for the same file, size and
// rendering; a face lives while some font object holds it.
using FaceKey = std::tuple<std::string, int, LONG, bool>;
std::map<FaceKey, std::weak_ptr<FontFace>>& faceCache() {
    static auto* cache = new std::map<FaceKey, std::weak_ptr<FontFace>>;
    return *cache;
}

std::shared_ptr<FontFace> openFace(const FaceFile& file, LONG lfHeight, bool antialiased) {
    FT_Library library = freetype();
    if (!library) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.path.c_str(), file.index, &face) != 0) return nullptr;
    auto made = std::make_shared<FontFace>();
    made->face = face;
    made->antialiased = antialiased;

    // The cell (ascent + descent) that the real system uses: the Windows
    // metrics of the face where it has them.
    double unitsAbove = face->ascender;
    double unitsBelow = -face->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            unitsAbove = os2->usWinAscent;
            unitsBelow = os2->usWinDescent;
        }
    }
    const double unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 1000;
    const double cellUnits = std::max(unitsAbove + unitsBelow, 1.0);
    const LONG cellPixels = lfHeight > 0 ? lfHeight : 16;
    double em = 0;
    if (lfHeight < 0) {
        em = -static_cast<double>(lfHeight);
        made->ascent = static_cast<int>(std::lround(unitsAbove * em / unitsPerEm));
        made->descent = static_cast<int>(std::lround(unitsBelow * em / unitsPerEm));
    } else {
        em = cellPixels * unitsPerEm / cellUnits;
        made->ascent = static_cast<int>(std::lround(unitsAbove * cellPixels / cellUnits));
        made->descent = static_cast<int>(cellPixels) - made->ascent;
    }
    made->internalLeading = std::max(0, made->height() - static_cast<int>(std::lround(em)));
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72);
    made->averageWidth = made->glyph('x').advance;
    for (unsigned char c = 0x20; c < 0x7F; ++c) made->maxWidth = std::max(made->maxWidth, made->glyph(c).advance);
    return made;
}

}  // namespace

FontFace::~FontFace() {
    if (face) FT_Done_Face(static_cast<FT_Face>(face));
}

const Glyph& FontFace::glyph(unsigned char character) {
    auto found = glyphs.find(character);
    if (found != glyphs.end()) return found->second;
    Glyph& made = glyphs[character];
    auto* ftFace = static_cast<FT_Face>(face);
    const unsigned code = unicodeOf(character);
    const FT_Int32 flags = FT_LOAD_RENDER | (antialiased ? FT_LOAD_TARGET_LIGHT : FT_LOAD_TARGET_MONO);
    if (code == 0 || FT_Load_Char(ftFace, code, flags) != 0) return made;
    const FT_GlyphSlot slot = ftFace->glyph;
    made.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    made.left = slot->bitmap_left;
    made.top = slot->bitmap_top;
    const FT_Bitmap& bitmap = slot->bitmap;
    made.width = static_cast<int>(bitmap.width);
    made.rows = static_cast<int>(bitmap.rows);
    made.coverage.assign(static_cast<size_t>(made.width) * static_cast<size_t>(made.rows), 0);
    for (int row = 0; row < made.rows; ++row) {
        const unsigned char* source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
        for (int column = 0; column < made.width; ++column) {
            uint8_t value = 0;
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                value = (source[column >> 3] & (0x80 >> (column & 7))) ? 255 : 0;
            } else {
                value = source[column];
            }
            made.coverage[static_cast<size_t>(row) * made.width + column] = value;
        }
    }
    return made;
}

FontFace* faceOf(GdiObject& font) {
    if (font.font.face) return font.font.face.get();
    const LOGFONTA& logFont = font.font.logFont;
    FaceFile file;
    if (!matchFace(logFont, file)) return nullptr;
    const bool antialiased = logFont.lfQuality != NONANTIALIASED_QUALITY;
    const FaceKey key{file.path, file.index, logFont.lfHeight, antialiased};
    auto& cache = faceCache();
    std::shared_ptr<FontFace> face = cache[key].lock();
    if (!face) {
        face = openFace(file, logFont.lfHeight, antialiased);
        if (!face) return nullptr;
        cache[key] = face;
    }
    font.font.face = face;
    return face.get();
}

FontFace* faceOf(DeviceContext& dc) {
    GdiObject* font = findObject(dc.font, ObjectKind::font);
    return font ? faceOf(*font) : nullptr;
}

int textWidth(FontFace& face, std::string_view text) {
    int width = 0;
    for (char c : text) width += face.glyph(static_cast<unsigned char>(c)).advance;
    return width;
}

}  // namespace subset::gdi

using namespace subset::gdi;

extern "C" {

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* logFont) {
    if (!logFont) return nullptr;
    auto lock = lockGdi();
    auto object = std::make_unique<GdiObject>();
    object->kind = ObjectKind::font;
    object->font.logFont = *logFont;
    object->font.logFont.lfFaceName[LF_FACESIZE - 1] = '\0';
    return static_cast<HFONT>(addObject(std::move(object)));
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
    LOGFONTA logFont{};
    logFont.lfHeight = height;
    logFont.lfWidth = width;
    logFont.lfEscapement = escapement;
    logFont.lfOrientation = orientation;
    logFont.lfWeight = weight;
    logFont.lfItalic = static_cast<BYTE>(italic);
    logFont.lfUnderline = static_cast<BYTE>(underline);
    logFont.lfStrikeOut = static_cast<BYTE>(strikeOut);
    logFont.lfCharSet = static_cast<BYTE>(charSet);
    logFont.lfOutPrecision = static_cast<BYTE>(outPrecision);
    logFont.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    logFont.lfQuality = static_cast<BYTE>(quality);
    logFont.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (faceName) std::strncpy(logFont.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirectA(&logFont);
}

BOOL WINAPI GetTextMetricsA(HDC handle, LPTEXTMETRICA metrics) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || !metrics) return FALSE;
    GdiObject* font = findObject(dc->font, ObjectKind::font);
    FontFace* face = font ? faceOf(*font) : nullptr;
    if (!face) return FALSE;
    const LOGFONTA& logFont = font->font.logFont;
    *metrics = TEXTMETRICA{};
    metrics->tmHeight = face->height();
    metrics->tmAscent = face->ascent;
    metrics->tmDescent = face->descent;
    metrics->tmInternalLeading = face->internalLeading;
    metrics->tmAveCharWidth = face->averageWidth;
    metrics->tmMaxCharWidth = face->maxWidth;
    metrics->tmWeight = logFont.lfWeight == 0 ? FW_NORMAL : logFont.lfWeight;
    metrics->tmDigitizedAspectX = 96;
    metrics->tmDigitizedAspectY = 96;
    metrics->tmFirstChar = 0x20;
    metrics->tmLastChar = 0xFF;
    metrics->tmDefaultChar = '?';
    metrics->tmBreakChar = ' ';
    metrics->tmItalic = logFont.lfItalic;
    metrics->tmUnderlined = logFont.lfUnderline;
    metrics->tmStruckOut = logFont.lfStrikeOut;
    metrics->tmCharSet = logFont.lfCharSet;
    return TRUE;
}

}  // extern "C"
