// Rectangle arithmetic by the real rules, for user32's rectangle calls
// (user/rectangles.cpp) and for the parts of the subset that must not call
// into the window manager (the display back ends).
#pragma once

#include <windows.h>

#include <algorithm>

namespace subset {

// Empty: the right is not beyond the left, or the bottom not below the top.
inline bool rectIsEmpty(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

// The common part of `a` and `b`; an all-zero rectangle and false when it
// is empty. `out` may be `a` or `b`.
inline bool intersectRects(const RECT& a, const RECT& b, RECT& out) {
    const RECT result{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom)};
    if (rectIsEmpty(result) || rectIsEmpty(a) || rectIsEmpty(b)) {
        out = RECT{0, 0, 0, 0};
        return false;
    }
    out = result;
    return true;
}

// The smallest rectangle holding `a` and `b`, an empty one ignored; an
// all-zero rectangle and false when both are empty. `out` may be `a` or `b`.
inline bool uniteRects(const RECT& a, const RECT& b, RECT& out) {
    const bool emptyA = rectIsEmpty(a), emptyB = rectIsEmpty(b);
    if (emptyA && emptyB) {
        out = RECT{0, 0, 0, 0};
        return false;
    }
    if (emptyA)
        out = b;
    else if (!emptyB)
        out = RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                   std::max(a.bottom, b.bottom)};
    else
        out = a;
    return true;
}

inline RECT offsetRect(RECT rect, int dx, int dy) {
    rect.left += dx;
    rect.right += dx;
    rect.top += dy;
    rect.bottom += dy;
    return rect;
}

}  // namespace subset
