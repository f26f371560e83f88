// System values.
//
// Provides: GetSystemMetrics, LoadCursorA.
//
// Promises: SM_CXSCREEN/SM_CYSCREEN give the display's screen size;
// SM_CXMAXTRACK/SM_CYMAXTRACK the screen plus a sizing frame (8 pixels) on
// each side, SM_CXMINTRACK/SM_CYMINTRACK 136 by 39 and SM_CXDOUBLECLK/
// SM_CYDOUBLECLK 4, the real system's values at 96 dpi; any other index
// gives 0. LoadCursorA gives a distinct handle for each system cursor
// (instance NULL, IDC_* resource numbers 32512..32650) and NULL for
// anything else, since modules here carry no cursor resources.
#include <windows.h>

#include "user/window_manager.h"

namespace {

constexpr int kSizingFrame = 8;  // SM_CXSIZEFRAME plus SM_CXPADDEDBORDER

// One object per system cursor, so that each has its own handle.
struct SystemCursor {
    int id;
};
SystemCursor systemCursors[] = {{32512}, {32513}, {32514}, {32515}, {32516}, {32640}, {32641}, {32642},
                                {32643}, {32644}, {32645}, {32646}, {32648}, {32649}, {32650}};

}  // namespace

extern "C" {

int WINAPI GetSystemMetrics(int index) {
    SIZE screen = subset::user::displayBackend().screenSize();
    switch (index) {
    case SM_CXSCREEN: return screen.cx;
    case SM_CYSCREEN: return screen.cy;
    case SM_CXMAXTRACK: return screen.cx + 2 * kSizingFrame;
    case SM_CYMAXTRACK: return screen.cy + 2 * kSizingFrame;
    case SM_CXMINTRACK: return 136;
    case SM_CYMINTRACK: return 39;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    default: return 0;
    }
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance) return nullptr;
    auto id = reinterpret_cast<uintptr_t>(name);
    if (id >= 0x10000) return nullptr;
    for (SystemCursor& cursor : systemCursors)
        if (static_cast<uintptr_t>(cursor.id) == id) return reinterpret_cast<HCURSOR>(&cursor);
    return nullptr;
}

}  // extern "C"
