/* The Obsidel host API, as the host publishes it for its plug-ins.
 *
 * C linkage and 8-bit texts; paths are at most MAX_PATH (260) bytes. The
 * host executable exports these functions: on Linux the executable exports
 * its symbols and a plug-in resolves them when it is loaded; on Windows a
 * plug-in links them from obsidel.exe's import library. */
#ifndef OBSIDEL_API_H
#define OBSIDEL_API_H

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- messages between the host and its plug-ins ---- */
enum {
    OBM_REGISTERMESSAGE = 10001,   /* to the host: wParam window, lParam 0-terminated UINT list */
    OBM_UNREGISTERMESSAGE = 10002, /* to the host: same arguments */
    OBM_RECONFIGURE = 10103,       /* to a plug-in: style or configuration changed */
    OBM_SETSTATUSBAR = 10304,      /* to the host: wParam 0, lParam status text */
    OBM_BROADCAST = 10901,         /* to a plug-in: lParam command text */
    SLIT_ADD = 11001,              /* to the slit: wParam 0, lParam plug-in window */
    SLIT_REMOVE = 11002            /* to the slit: wParam 0, lParam plug-in window */
};

/* ---- the style record ----
 * GetSettingPtr(OB_STYLE_ITEM) points at one of these. Plug-ins copy the
 * whole 300 bytes and hand the copy back to CreateStyleFont and
 * MakeStyleGradient; only `color` has a place that plug-ins rely on. */
enum {
    STYLE_FLAT = 0,
    STYLE_HORIZONTAL = 1,
    STYLE_VERTICAL = 2,
    STYLE_DIAGONAL = 3,
    STYLE_CROSSDIAGONAL = 4
};
enum { BEVEL_FLAT = 0, BEVEL_RAISED = 1, BEVEL_SUNKEN = 2 };

typedef struct StyleItem {
    int32_t texture;      /*   0: STYLE_* gradient kind */
    int32_t bevelStyle;   /*   4: BEVEL_* */
    int32_t bevelPosition;/*   8: 1 = bevel on the edge, 2 = one pixel inside */
    int32_t reserved0;    /*  12 */
    COLORREF color;       /*  16: the item's main colour (gradient start) */
    COLORREF colorTo;     /*  20: gradient end */
    COLORREF textColor;   /*  24 */
    int32_t fontHeight;   /*  28: pixels */
    int32_t fontWeight;   /*  32: FW_* */
    char fontFace[128];   /*  36 */
    unsigned char reserved[136];
} StyleItem;

#ifdef __cplusplus
static_assert(sizeof(StyleItem) == 300, "the style record is 300 bytes");
static_assert(offsetof(StyleItem, color) == 16, "plug-ins read the main colour at byte 16");
#endif

enum {
    OB_STYLE_ITEM = 1,    /* StyleItem* of the plug-in's toolbar item */
    OB_BORDER_WIDTH = 12, /* int* */
    OB_BORDER_COLOR = 13, /* COLORREF* */
    OB_BEVEL_WIDTH = 14   /* int* */
};

typedef struct Menu Menu;
typedef struct MenuItem MenuItem;

/* ---- the host ---- */
HWND GetOBWnd(void);
LPSTR GetObsidelPath(LPSTR buffer, int size);
LPSTR GetObsidelEditor(LPSTR buffer);
HINSTANCE OBExecute(HWND owner, LPCSTR verb, LPCSTR program, LPCSTR arguments, LPCSTR directory, int show,
                    int noErrorMessages);

/* ---- settings files: `key: value` lines ---- */
int FileExists(LPCSTR path);
int ReadInt(LPCSTR path, LPCSTR key, int defaultValue);
int ReadBool(LPCSTR path, LPCSTR key, int defaultValue);
/* The returned text lives in a host buffer until the next ReadString. */
LPCSTR ReadString(LPCSTR path, LPCSTR key, LPCSTR defaultValue);
void WriteInt(LPCSTR path, LPCSTR key, int value);
void WriteBool(LPCSTR path, LPCSTR key, int value);
void WriteString(LPCSTR path, LPCSTR key, LPCSTR value);

/* ---- style ---- */
/* The path of the current style file; "" while the host's built-in style is
 * in use. `other` is reserved: pass 0. */
LPCSTR stylePath(LPCSTR other);
/* The colour stored under `key` in the style file `path` ("" reads the
 * built-in style). Colours are "#rrggbb", "#rgb" or "rgb:r/g/b" (one to
 * four hex digits per part). A missing key or a value that is no colour
 * gives `defaultValue` read the same way, and black when that is none. */
COLORREF ReadColor(LPCSTR path, LPCSTR key, LPCSTR defaultValue);
/* Pointers into the current style, valid for the host's whole life (a new
 * style is copied into the same places); NULL for any other index. */
void* GetSettingPtr(int index);
/* A font of the item's face, height and weight; the caller deletes it. */
HFONT CreateStyleFont(StyleItem* item);
/* Paints `rect` in the item's texture (flat, or a horizontal, vertical,
 * diagonal or cross-diagonal gradient from `color` to `colorTo`) with its
 * raised or sunken bevel; with `withBorder`, the style's border (width
 * GetSettingPtr(12), colour GetSettingPtr(13)) takes the outer pixels. */
void MakeStyleGradient(HDC dc, RECT* rect, StyleItem* item, int withBorder);
/* Marks the window to stay on every desktop / removes the mark. */
void MakeSticky(HWND window);
void RemoveSticky(HWND window);
/* Snaps the window-position record to the screen's edges, each axis on its
 * own: a near edge (left, top) within `distance` pixels of the screen's
 * near edge, on either side of it, moves onto it; with bit 0 of `flags`
 * set (1), a far edge (right, bottom) within `distance` of the screen's far
 * edge moves onto that one too, using the record's size, or the window's
 * present size when the record has SWP_NOSIZE. When both edges of an axis
 * are in reach the nearer wins, the near edge on a tie. A record with
 * SWP_NOMOVE is left alone. Returns 1 when it moved the position. */
int SnapWindowToEdge(WINDOWPOS* pos, LPARAM distance, UINT flags);

/* ---- menus ---- */
Menu* MakeNamedMenu(LPCSTR title, LPCSTR id, int popup);
MenuItem* MakeMenuItem(Menu* menu, LPCSTR text, LPCSTR command, int checked);
MenuItem* MakeMenuItemInt(Menu* menu, LPCSTR text, LPCSTR command, int value, int minimum, int maximum);
MenuItem* MakeMenuNOP(Menu* menu, LPCSTR text);
MenuItem* MakeSubmenu(Menu* parent, Menu* child, LPCSTR title);
void ShowMenu(Menu* menu);

#ifdef __cplusplus
}
#endif

#endif
