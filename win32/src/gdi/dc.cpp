// Device contexts and their state.
//
// Provides: CreateCompatibleDC, DeleteDC, SelectObject, GetCurrentObject,
// SetBkMode/GetBkMode, SetBkColor/GetBkColor, SetTextColor/GetTextColor,
// MoveToEx, GetCurrentPositionEx, and, inside the subset,
// subset::createSurfaceDC/deleteSurfaceDC/lockPixels for the window manager.
//
// Promises: a new DC holds the black pen, the white brush and the system
// font, an opaque white background, black text and the position (0, 0); a
// memory DC starts with the stock 1x1 bitmap and draws on whatever bitmap it
// holds; SelectObject returns the object of the same kind that it replaced
// (null on failure); a bitmap can be selected into one memory DC at a time
// and never into a window DC; deleting a DC lets go of what it held, so an
// object deleted while selected is freed then.
#include "gdi/object_table.h"

using namespace subset::gdi;

namespace {

void releaseSelections(DeviceContext& dc) {
    noteDeselected(dc.pen);
    noteDeselected(dc.brush);
    noteDeselected(dc.font);
    if (dc.bitmap) {
        if (GdiObject* bitmap = findObject(dc.bitmap, ObjectKind::bitmap)) bitmap->bitmap.selectedInto = nullptr;
        noteDeselected(dc.bitmap);
    }
}

HDC addDC(std::unique_ptr<DeviceContext> dc, bool counted) {
    noteSelected(dc->pen);
    noteSelected(dc->brush);
    noteSelected(dc->font);
    if (dc->bitmap) noteSelected(dc->bitmap);
    auto object = std::make_unique<GdiObject>();
    object->kind = ObjectKind::dc;
    object->counted = counted;
    DeviceContext* raw = dc.get();
    object->dc = std::move(dc);
    HDC handle = static_cast<HDC>(addObject(std::move(object)));
    if (raw->bitmap) {
        GdiObject* bitmap = findObject(raw->bitmap);
        if (!bitmap->stock) bitmap->bitmap.selectedInto = handle;
    }
    return handle;
}

template <typename Handle>
Handle swapSelection(Handle& slot, HGDIOBJ replacement) {
    Handle previous = slot;
    slot = static_cast<Handle>(replacement);
    noteSelected(replacement);
    noteDeselected(previous);  // may free a pending deletion; previous is only returned, never used
    return previous;
}

}  // namespace

namespace subset {

HDC createSurfaceDC(std::shared_ptr<Surface> surface) {
    if (!surface) return nullptr;
    auto lock = gdi::lockGdi();
    return addDC(gdi::newDeviceContext(false, std::move(surface)), false);
}

std::unique_lock<std::mutex> lockPixels() { return gdi::lockGdi(); }

void deleteSurfaceDC(HDC handle) {
    auto lock = gdi::lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || dc->memory) return;
    releaseSelections(*dc);
    freeObject(handle);
}

}  // namespace subset

extern "C" {

HDC WINAPI CreateCompatibleDC(HDC reference) {
    auto lock = lockGdi();
    if (reference && !findDC(reference)) return nullptr;
    return addDC(newDeviceContext(true, nullptr), true);
}

BOOL WINAPI DeleteDC(HDC handle) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || !dc->memory) return FALSE;  // window DCs go back through ReleaseDC/EndPaint
    releaseSelections(*dc);
    freeObject(handle);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC handle, HGDIOBJ objectHandle) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    GdiObject* object = findObject(objectHandle);
    if (!dc || !object || object->deletePending) return nullptr;
    switch (object->kind) {
        case ObjectKind::pen: return swapSelection(dc->pen, objectHandle);
        case ObjectKind::brush: return swapSelection(dc->brush, objectHandle);
        case ObjectKind::font: return swapSelection(dc->font, objectHandle);
        case ObjectKind::bitmap: {
            if (!dc->memory) return nullptr;
            if (dc->bitmap == objectHandle) return objectHandle;
            // The stock bitmap may sit in any number of DCs; any other only in one.
            if (object->bitmap.selectedInto && !object->stock) return nullptr;
            if (GdiObject* old = findObject(dc->bitmap, ObjectKind::bitmap)) old->bitmap.selectedInto = nullptr;
            if (!object->stock) object->bitmap.selectedInto = handle;
            dc->surface = object->bitmap.surface;
            return swapSelection(dc->bitmap, objectHandle);
        }
        case ObjectKind::dc: return nullptr;
    }
    return nullptr;
}

HGDIOBJ WINAPI GetCurrentObject(HDC handle, UINT type) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc) return nullptr;
    switch (type) {
        case OBJ_PEN: return dc->pen;
        case OBJ_BRUSH: return dc->brush;
        case OBJ_FONT: return dc->font;
        case OBJ_BITMAP: return dc->memory ? static_cast<HGDIOBJ>(dc->bitmap) : nullptr;
        default: return nullptr;
    }
}

int WINAPI SetBkMode(HDC handle, int mode) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    const int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

int WINAPI GetBkMode(HDC handle) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    return dc ? dc->bkMode : 0;
}

COLORREF WINAPI SetBkColor(HDC handle, COLORREF color) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc) return CLR_INVALID;
    const COLORREF previous = dc->bkColor;
    dc->bkColor = color & 0x00FFFFFF;
    return previous;
}

COLORREF WINAPI GetBkColor(HDC handle) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    return dc ? dc->bkColor : CLR_INVALID;
}

COLORREF WINAPI SetTextColor(HDC handle, COLORREF color) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc) return CLR_INVALID;
    const COLORREF previous = dc->textColor;
    dc->textColor = color & 0x00FFFFFF;
    return previous;
}

COLORREF WINAPI GetTextColor(HDC handle) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    return dc ? dc->textColor : CLR_INVALID;
}

BOOL WINAPI MoveToEx(HDC handle, int x, int y, LPPOINT previous) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc) return FALSE;
    if (previous) *previous = dc->position;
    dc->position = {x, y};
    return TRUE;
}

BOOL WINAPI GetCurrentPositionEx(HDC handle, LPPOINT point) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || !point) return FALSE;
    *point = dc->position;
    return TRUE;
}

}  // extern "C"
