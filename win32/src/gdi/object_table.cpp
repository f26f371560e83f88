// The GDI object table, stock objects, and the object calls.
//
// Provides: GetStockObject, GetObjectType, DeleteObject, GetObjectA (bitmaps,
// pens, brushes, fonts); and, inside the subset, subset::gdiObjectCount (for
// GetGuiResources).
//
// Promises: handles are unique for the life of the process; stock objects
// are never deleted and never counted; an object deleted while selected into
// a DC is freed when the last DC lets go of it, and counts until then; the
// count holds every pen, brush, font, bitmap and memory DC that was made and
// not yet freed (the window manager's cached window DCs, like the real
// system's, are not counted).
#include "gdi/object_table.h"
#include "internal/gdi_objects.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace subset::gdi {
namespace {

struct Table {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::unique_ptr<GdiObject>> objects;
    uintptr_t nextHandle = 0x10000;
    std::array<HGDIOBJ, DEFAULT_GUI_FONT + 1> stock{};
    HBITMAP stockBitmap = nullptr;
};

Table& table() {
    static Table* instance = new Table;  // never destroyed: DCs may outlive static destruction
    return *instance;
}

HGDIOBJ makeStock(std::unique_ptr<GdiObject> object) {
    object->stock = true;
    object->counted = false;
    return addObject(std::move(object));
}

HGDIOBJ makeStockBrush(COLORREF color, bool hollow) {
    auto object = std::make_unique<GdiObject>();
    object->kind = ObjectKind::brush;
    object->brush = {color, hollow};
    return makeStock(std::move(object));
}

HGDIOBJ makeStockPen(COLORREF color, int style) {
    auto object = std::make_unique<GdiObject>();
    object->kind = ObjectKind::pen;
    object->pen = {style, 1, color};
    return makeStock(std::move(object));
}

HGDIOBJ makeStockFont(const char* face, LONG height) {
    auto object = std::make_unique<GdiObject>();
    object->kind = ObjectKind::font;
    object->font.logFont.lfHeight = height;
    object->font.logFont.lfWeight = FW_NORMAL;
    std::strncpy(object->font.logFont.lfFaceName, face, LF_FACESIZE - 1);
    return makeStock(std::move(object));
}

}  // namespace

std::unique_lock<std::mutex> lockGdi() { return std::unique_lock<std::mutex>(table().lock); }

HGDIOBJ addObject(std::unique_ptr<GdiObject> object) {
    Table& t = table();
    uintptr_t value = t.nextHandle;
    t.nextHandle += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HGDIOBJ>(value);
}

GdiObject* findObject(HGDIOBJ handle) {
    Table& t = table();
    auto found = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return found == t.objects.end() ? nullptr : found->second.get();
}

GdiObject* findObject(HGDIOBJ handle, ObjectKind kind) {
    GdiObject* object = findObject(handle);
    return object && object->kind == kind ? object : nullptr;
}

DeviceContext* findDC(HDC handle) {
    GdiObject* object = findObject(handle, ObjectKind::dc);
    return object ? object->dc.get() : nullptr;
}

void freeObject(HGDIOBJ handle) { table().objects.erase(reinterpret_cast<uintptr_t>(handle)); }

int countedObjects() {
    int count = 0;
    for (const auto& entry : table().objects) {
        if (entry.second->counted) ++count;
    }
    return count;
}

void noteSelected(HGDIOBJ handle) {
    if (GdiObject* object = findObject(handle)) ++object->selections;
}

void noteDeselected(HGDIOBJ handle) {
    GdiObject* object = findObject(handle);
    if (!object) return;
    if (object->selections > 0) --object->selections;
    if (object->selections == 0 && object->deletePending) freeObject(handle);
}

HGDIOBJ stockObject(int index) {
    Table& t = table();
    if (index < 0 || index >= static_cast<int>(t.stock.size())) return nullptr;
    if (t.stock[0] == nullptr) {
        t.stock[WHITE_BRUSH] = makeStockBrush(RGB(255, 255, 255), false);
        t.stock[LTGRAY_BRUSH] = makeStockBrush(RGB(192, 192, 192), false);
        t.stock[GRAY_BRUSH] = makeStockBrush(RGB(128, 128, 128), false);
        t.stock[DKGRAY_BRUSH] = makeStockBrush(RGB(64, 64, 64), false);
        t.stock[BLACK_BRUSH] = makeStockBrush(RGB(0, 0, 0), false);
        t.stock[NULL_BRUSH] = makeStockBrush(0, true);
        t.stock[WHITE_PEN] = makeStockPen(RGB(255, 255, 255), PS_SOLID);
        t.stock[BLACK_PEN] = makeStockPen(RGB(0, 0, 0), PS_SOLID);
        t.stock[NULL_PEN] = makeStockPen(0, PS_NULL);
        t.stock[SYSTEM_FONT] = makeStockFont("Sans", 16);
        t.stock[DEFAULT_GUI_FONT] = makeStockFont("Sans", -11);
    }
    return t.stock[index];
}

HBITMAP stockBitmap() {
    Table& t = table();
    if (!t.stockBitmap) {
        auto object = std::make_unique<GdiObject>();
        object->kind = ObjectKind::bitmap;
        object->bitmap.surface = std::make_shared<Surface>();
        object->bitmap.surface->resize(1, 1);
        t.stockBitmap = static_cast<HBITMAP>(makeStock(std::move(object)));
    }
    return t.stockBitmap;
}

std::unique_ptr<DeviceContext> newDeviceContext(bool memory, std::shared_ptr<Surface> surface) {
    auto dc = std::make_unique<DeviceContext>();
    dc->memory = memory;
    dc->pen = static_cast<HPEN>(stockObject(BLACK_PEN));
    dc->brush = static_cast<HBRUSH>(stockObject(WHITE_BRUSH));
    dc->font = static_cast<HFONT>(stockObject(SYSTEM_FONT));
    if (memory) {
        dc->bitmap = stockBitmap();
        surface = findObject(dc->bitmap)->bitmap.surface;
    }
    dc->surface = std::move(surface);
    return dc;
}

}  // namespace subset::gdi

using namespace subset::gdi;

extern "C" {

HGDIOBJ WINAPI GetStockObject(int index) {
    auto lock = lockGdi();
    return stockObject(index);
}

DWORD WINAPI GetObjectType(HGDIOBJ handle) {
    auto lock = lockGdi();
    GdiObject* object = findObject(handle);
    if (!object) return 0;
    switch (object->kind) {
        case ObjectKind::pen: return OBJ_PEN;
        case ObjectKind::brush: return OBJ_BRUSH;
        case ObjectKind::font: return OBJ_FONT;
        case ObjectKind::bitmap: return OBJ_BITMAP;
        case ObjectKind::dc: return object->dc->memory ? OBJ_MEMDC : OBJ_DC;
    }
    return 0;
}

BOOL WINAPI DeleteObject(HGDIOBJ handle) {
    auto lock = lockGdi();
    GdiObject* object = findObject(handle);
    if (!object || object->kind == ObjectKind::dc || object->deletePending) return FALSE;
    if (object->stock) return TRUE;
    if (object->selections > 0) {
        object->deletePending = true;
        return TRUE;
    }
    freeObject(handle);
    return TRUE;
}

int WINAPI GetObjectA(HGDIOBJ handle, int size, LPVOID buffer) {
    auto lock = lockGdi();
    GdiObject* object = findObject(handle);
    if (!object) return 0;
    auto answer = [&](const auto& value) {
        const int full = static_cast<int>(sizeof(value));
        if (!buffer) return full;
        if (size <= 0) return 0;
        const int copied = size < full ? size : full;
        std::memcpy(buffer, &value, static_cast<size_t>(copied));
        return copied;
    };
    switch (object->kind) {
        case ObjectKind::bitmap: {
            const subset::Surface& surface = *object->bitmap.surface;
            BITMAP info{};
            info.bmWidth = surface.width;
            info.bmHeight = surface.height;
            info.bmWidthBytes = surface.width * 4;
            info.bmPlanes = 1;
            info.bmBitsPixel = 32;
            return answer(info);
        }
        case ObjectKind::pen: {
            LOGPEN info{};
            info.lopnStyle = static_cast<UINT>(object->pen.style);
            info.lopnWidth.x = object->pen.width;
            info.lopnColor = object->pen.color;
            return answer(info);
        }
        case ObjectKind::brush: {
            LOGBRUSH info{};
            info.lbStyle = object->brush.hollow ? BS_NULL : BS_SOLID;
            info.lbColor = object->brush.color;
            return answer(info);
        }
        case ObjectKind::font: return answer(object->font.logFont);
        case ObjectKind::dc: return 0;
    }
    return 0;
}

}  // extern "C"

int subset::gdiObjectCount() {
    auto lock = lockGdi();
    return countedObjects();
}
