// The pop-up menu drawn with GDI in the style's menu look: frame, title,
// arrow strips, rows with check marks, values and submenu arrows.
#include "popup_menu_paint.h"

#include <algorithm>
#include <string>

namespace obsidel {

using popup::Part;
using popup::PopupMenuModel;

namespace {

void fill(HDC dc, const RECT& rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

COLORREF halfway(COLORREF a, COLORREF b) {
    return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2, (GetBValue(a) + GetBValue(b)) / 2);
}

void triangle(HDC dc, POINT a, POINT b, POINT c, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
    const POINT points[3] = {a, b, c};
    Polygon(dc, points, 3);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

void checkMark(HDC dc, const RECT& box, COLORREF color) {
    const int size = std::max<int>(4, std::min(box.right - box.left, box.bottom - box.top) / 2);
    const int x = (box.left + box.right - size) / 2, y = (box.top + box.bottom - size) / 2;
    HPEN pen = CreatePen(PS_SOLID, 2, color);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x, y + size / 2, nullptr);
    LineTo(dc, x + size / 3, y + size);
    LineTo(dc, x + size + 1, y - 1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// The frame: the border, then a raised bevel, then the items' colour.
void paintFrame(HDC dc, RECT rect, const MenuLook& look) {
    if (look.borderWidth > 0) {
        fill(dc, rect, look.border);
        InflateRect(&rect, -look.borderWidth, -look.borderWidth);
    }
    const COLORREF light = halfway(look.frame, RGB(255, 255, 255)), dark = halfway(look.frame, RGB(0, 0, 0));
    for (int i = 0; i < look.bevelWidth && rect.right - rect.left > 2 && rect.bottom - rect.top > 2; ++i) {
        fill(dc, RECT{rect.left, rect.top, rect.right, rect.top + 1}, light);
        fill(dc, RECT{rect.left, rect.top, rect.left + 1, rect.bottom}, light);
        fill(dc, RECT{rect.left, rect.bottom - 1, rect.right, rect.bottom}, dark);
        fill(dc, RECT{rect.right - 1, rect.top, rect.right, rect.bottom}, dark);
        InflateRect(&rect, -1, -1);
    }
    fill(dc, rect, look.frame);
}

}  // namespace

void paintMenuBackground(HDC dc, const RECT& client, const MenuLook& look) { fill(dc, client, look.frame); }

popup::Metrics pixelMenuMetrics(HDC measuring, const MenuLook& look) {
    TEXTMETRICA text{};
    GetTextMetricsA(measuring, &text);
    const int lineHeight = std::max<int>(text.tmHeight, look.fontHeight);
    popup::Metrics metrics;
    metrics.rowHeight = lineHeight + 6;
    metrics.frame = look.borderWidth + look.bevelWidth + 1;
    metrics.markWidth = metrics.rowHeight;
    metrics.sideWidth = metrics.rowHeight;
    metrics.gap = metrics.rowHeight;
    HDC dc = measuring;
    metrics.textWidth = [dc](const std::string& line) {
        SIZE size{};
        GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
        return static_cast<int>(size.cx);
    };
    return metrics;
}

void paintMenuLevel(HDC dc, const PopupMenuModel& model, int index, const MenuLook& look, HFONT font) {
    const popup::Level& level = model.levels()[static_cast<size_t>(index)];
    const popup::Metrics& m = model.metrics();
    // The model's rectangles are on the screen; the window's client area starts at the level's corner.
    auto local = [&](RECT rect) {
        OffsetRect(&rect, -level.rect.left, -level.rect.top);
        return rect;
    };
    paintFrame(dc, local(level.rect), look);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    auto text = [&](const std::string& line, RECT rect, COLORREF color, UINT align) {
        SetTextColor(dc, color);
        DrawTextA(dc, line.c_str(), static_cast<int>(line.size()), &rect,
                  align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    };

    RECT title = local(model.rowRect(index, Part::Title));
    fill(dc, title, look.title);
    text(level.menu->title, RECT{title.left + m.markWidth / 2, title.top, title.right, title.bottom}, look.titleText,
         DT_LEFT);

    for (Part strip : {Part::ScrollUp, Part::ScrollDown}) {
        RECT row = local(model.rowRect(index, strip));
        if (IsRectEmpty(&row)) continue;
        fill(dc, row, look.frame);
        const bool canScroll = strip == Part::ScrollUp
                                   ? level.scroll > 0
                                   : level.scroll + level.shownRows < static_cast<int>(level.menu->items.size());
        const COLORREF color = canScroll ? look.frameText : halfway(look.frameText, look.frame);
        const int cx = (row.left + row.right) / 2, cy = (row.top + row.bottom) / 2, half = m.rowHeight / 4;
        if (strip == Part::ScrollUp)
            triangle(dc, POINT{cx - half, cy + half / 2}, POINT{cx + half, cy + half / 2}, POINT{cx, cy - half / 2},
                     color);
        else
            triangle(dc, POINT{cx - half, cy - half / 2}, POINT{cx + half, cy - half / 2}, POINT{cx, cy + half / 2},
                     color);
    }

    const int rows = std::min(level.scroll + level.shownRows, static_cast<int>(level.menu->items.size()));
    for (int item = level.scroll; item < rows; ++item) {
        const MenuItem& entry = *level.menu->items[static_cast<size_t>(item)];
        RECT row = local(model.rowRect(index, Part::Item, item));
        const bool lit = item == level.highlight;
        const COLORREF ink = lit ? look.hiliteText : look.frameText;
        if (lit) fill(dc, row, look.hilite);
        if (entry.kind == MenuItem::Kind::Separator) {
            const int y = (row.top + row.bottom) / 2;
            fill(dc, RECT{row.left + m.markWidth / 2, y, row.right - m.sideWidth / 2, y + 1},
                 halfway(look.frameText, look.frame));
            continue;
        }
        if (entry.kind == MenuItem::Kind::Command && entry.checked)
            checkMark(dc, RECT{row.left, row.top, row.left + m.markWidth, row.bottom}, ink);
        RECT body{row.left + m.markWidth, row.top, row.right - m.sideWidth, row.bottom};
        text(entry.text, body, ink, DT_LEFT);
        if (entry.kind == MenuItem::Kind::Integer) text(popup::shownValueText(model, index, item), body, ink, DT_RIGHT);
        if (entry.kind == MenuItem::Kind::Submenu) {
            const int cx = row.right - m.sideWidth / 2, cy = (row.top + row.bottom) / 2, half = m.rowHeight / 5;
            triangle(dc, POINT{cx - half / 2, cy - half}, POINT{cx - half / 2, cy + half}, POINT{cx + half / 2, cy}, ink);
        }
    }
    SelectObject(dc, oldFont);
}

}  // namespace obsidel
