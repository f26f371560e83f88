// Rectangle arithmetic of user32.
//
// Provides: SetRect, SetRectEmpty, CopyRect, IsRectEmpty, EqualRect,
// OffsetRect, InflateRect, IntersectRect, UnionRect, PtInRect.
//
// Promises the real rules: a rectangle whose right is not beyond its left,
// or whose bottom is not below its top, is empty; PtInRect includes the left
// and top edges and excludes the right and bottom ones; IntersectRect and
// UnionRect give an all-zero rectangle (and FALSE) when the answer is empty,
// and UnionRect ignores empty inputs.
#include <windows.h>

#include "internal/rectangles.h"

extern "C" {

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT rect) {
    if (!rect) return FALSE;
    *rect = RECT{0, 0, 0, 0};
    return TRUE;
}

BOOL WINAPI CopyRect(LPRECT destination, const RECT* source) {
    if (!destination || !source) return FALSE;
    *destination = *source;
    return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT* rect) { return !rect || subset::rectIsEmpty(*rect); }

BOOL WINAPI EqualRect(const RECT* a, const RECT* b) {
    if (!a || !b) return FALSE;
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    *rect = subset::offsetRect(*rect, dx, dy);
    return TRUE;
}

BOOL WINAPI InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL WINAPI IntersectRect(LPRECT destination, const RECT* a, const RECT* b) {
    if (!destination || !a || !b) return FALSE;
    return subset::intersectRects(*a, *b, *destination);
}

BOOL WINAPI UnionRect(LPRECT destination, const RECT* a, const RECT* b) {
    if (!destination || !a || !b) return FALSE;
    return subset::uniteRects(*a, *b, *destination);
}

BOOL WINAPI PtInRect(const RECT* rect, POINT point) {
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}

}  // extern "C"
