// The process-wide table of GDI objects (pens, brushes, fonts, bitmaps and
// device contexts) that every GDI call goes through. One lock guards the
// table and every drawing call holds it for its whole length, so objects can
// be made and deleted on any thread; handles are never reused, so a stale
// handle is refused rather than reaching another object.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>

#include "internal/surface.h"

namespace subset::gdi {

struct FontFace;  // a FreeType face at one pixel size (text.cpp)

enum class ObjectKind { pen, brush, font, bitmap, dc };

struct PenData {
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct BrushData {
    COLORREF color = 0;
    bool hollow = false;
};

struct FontData {
    LOGFONTA logFont{};
    std::shared_ptr<FontFace> face;  // resolved on first use
};

struct BitmapData {
    std::shared_ptr<Surface> surface;
    HDC selectedInto = nullptr;
};

struct DeviceContext {
    bool memory = false;                // a memory DC (else it draws on a window's surface)
    std::shared_ptr<Surface> surface;  // what the DC draws on
    HBITMAP bitmap = nullptr;           // memory DCs only
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    int bkMode = OPAQUE;
    COLORREF bkColor = RGB(255, 255, 255);
    COLORREF textColor = RGB(0, 0, 0);
    POINT position{0, 0};
};

struct GdiObject {
    ObjectKind kind = ObjectKind::pen;
    bool stock = false;
    bool counted = true;         // counts in GetGuiResources (cached window DCs do not)
    bool deletePending = false;  // DeleteObject while selected: freed once deselected
    int selections = 0;          // how many DCs hold it selected
    PenData pen;
    BrushData brush;
    FontData font;
    BitmapData bitmap;
    std::unique_ptr<DeviceContext> dc;
};

// The lock that every public GDI call takes first.
std::unique_lock<std::mutex> lockGdi();

// Table operations; call with the lock held.
HGDIOBJ addObject(std::unique_ptr<GdiObject> object);
GdiObject* findObject(HGDIOBJ handle);
GdiObject* findObject(HGDIOBJ handle, ObjectKind kind);
DeviceContext* findDC(HDC handle);
void freeObject(HGDIOBJ handle);
int countedObjects();

// Selection bookkeeping: a selected object stays alive until deselected.
void noteSelected(HGDIOBJ handle);
void noteDeselected(HGDIOBJ handle);

// Stock objects, made on first use and never freed.
HGDIOBJ stockObject(int index);
HBITMAP stockBitmap();  // the 1x1 bitmap that a new memory DC holds

// A DC with the default state: black pen, white brush, system font.
std::unique_ptr<DeviceContext> newDeviceContext(bool memory, std::shared_ptr<Surface> surface);

}  // namespace subset::gdi
