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

#include <algorithm>

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

BOOL WINAPI IsRectEmpty(const RECT* rect) {
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top;
}

BOOL WINAPI EqualRect(const RECT* a, const RECT* b) {
    if (!a || !b) return FALSE;
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
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
    RECT result{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
                std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&result) || IsRectEmpty(a) || IsRectEmpty(b)) {
        *destination = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *destination = result;
    return TRUE;
}

BOOL WINAPI UnionRect(LPRECT destination, const RECT* a, const RECT* b) {
    if (!destination || !a || !b) return FALSE;
    bool emptyA = IsRectEmpty(a), emptyB = IsRectEmpty(b);
    if (emptyA && emptyB) {
        *destination = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (emptyA) {
        *destination = *b;
    } else if (emptyB) {
        *destination = *a;
    } else {
        *destination = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                            std::max(a->bottom, b->bottom)};
    }
    return TRUE;
}

BOOL WINAPI PtInRect(const RECT* rect, POINT point) {
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}

}  // extern "C"
