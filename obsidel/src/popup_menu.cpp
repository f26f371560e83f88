// The pop-up menu's windows, their drawing (GDI, or text cells in a
// terminal) and their input; see popup_menu.h.
#include "popup_menu.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host_window.h"
#include "popup_screen.h"
#include "popup_menu_model.h"
#include "style.h"
#include "text_cells.h"

namespace obsidel {
namespace {

using popup::Outcome;
using popup::Part;
using popup::PopupMenuModel;

constexpr char kPopupClass[] = "ObsidelPopupMenu";
constexpr UINT_PTR kRestTimer = 1;
constexpr UINT kRestMs = 300;   // before a submenu opens under a resting pointer
constexpr UINT kStripMs = 60;   // between rows while the pointer rests on an arrow strip
// The screen's size is looked at this often while the menu is open: a
// terminal can be resized under it, and no message says so.
constexpr UINT_PTR kScreenTimer = 2;
constexpr UINT kScreenMs = 250;

struct OpenMenu {
    std::unique_ptr<PopupMenuModel> model;
    PopupScreen screen = PopupScreen::None;
    MenuLook look;
    std::vector<HWND> windows;  // one per level; the first holds capture and focus
    HFONT font = nullptr;
    HDC measuring = nullptr;  // holds the font, to measure texts
    HWND activeBefore = nullptr;
    bool closing = false;
};

std::unique_ptr<OpenMenu> openMenu;

// ---- sizes ----------------------------------------------------------------

popup::Metrics pixelMetrics(OpenMenu& open) {
    TEXTMETRICA text{};
    GetTextMetricsA(open.measuring, &text);
    const int lineHeight = std::max<int>(text.tmHeight, open.look.fontHeight);
    popup::Metrics metrics;
    metrics.rowHeight = lineHeight + 6;
    metrics.frame = open.look.borderWidth + open.look.bevelWidth + 1;
    metrics.markWidth = metrics.rowHeight;
    metrics.sideWidth = metrics.rowHeight;
    metrics.gap = metrics.rowHeight;
    HDC dc = open.measuring;
    metrics.textWidth = [dc](const std::string& line) {
        SIZE size{};
        GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
        return static_cast<int>(size.cx);
    };
    return metrics;
}

popup::Metrics cellMetrics() {
    popup::Metrics metrics;
    metrics.rowHeight = kCellHeight;
    metrics.frame = 0;
    metrics.markWidth = 2 * kCellWidth;
    metrics.sideWidth = 2 * kCellWidth;
    metrics.gap = 2 * kCellWidth;
    metrics.alignY = kCellHeight;
    metrics.textWidth = [](const std::string& line) { return static_cast<int>(line.size()); };
    return metrics;
}

// ---- texts shown ----------------------------------------------------------

std::string valueText(const PopupMenuModel& model, int level, int item) {
    const std::string value = std::to_string(model.shownValue(level, item));
    return model.levels()[static_cast<size_t>(level)].highlight == item ? "< " + value + " >" : value;
}

// ---- drawing with GDI -----------------------------------------------------

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

void paintLevel(HDC dc, const OpenMenu& open, int index) {
    const PopupMenuModel& model = *open.model;
    const popup::Level& level = model.levels()[static_cast<size_t>(index)];
    const popup::Metrics& m = model.metrics();
    const MenuLook& look = open.look;
    // The model's rectangles are on the screen; the window's client area starts at the level's corner.
    auto local = [&](RECT rect) {
        OffsetRect(&rect, -level.rect.left, -level.rect.top);
        return rect;
    };
    paintFrame(dc, local(level.rect), look);
    HGDIOBJ oldFont = SelectObject(dc, open.font);
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
        if (entry.kind == MenuItem::Kind::Integer) text(valueText(model, index, item), body, ink, DT_RIGHT);
        if (entry.kind == MenuItem::Kind::Submenu) {
            const int cx = row.right - m.sideWidth / 2, cy = (row.top + row.bottom) / 2, half = m.rowHeight / 5;
            triangle(dc, POINT{cx - half / 2, cy - half}, POINT{cx - half / 2, cy + half}, POINT{cx + half / 2, cy}, ink);
        }
    }
    SelectObject(dc, oldFont);
}

// ---- drawing as text cells ------------------------------------------------

std::string padded(std::string line, int width) {
    line.resize(static_cast<size_t>(std::max(width, 0)), ' ');
    return line;
}

void showLevelsAsCells(const OpenMenu& open) {
    const PopupMenuModel& model = *open.model;
    const MenuLook& look = open.look;
    std::vector<TextCellBlock> blocks;
    for (int index = 0; index < static_cast<int>(model.levels().size()); ++index) {
        const popup::Level& level = model.levels()[static_cast<size_t>(index)];
        const int width = level.rect.right - level.rect.left;
        auto block = [&](RECT rect, COLORREF ink, COLORREF paper, std::string line) {
            blocks.push_back(cellsOver(rect, ink, paper, padded(std::move(line), width)));
        };
        block(model.rowRect(index, Part::Title), look.titleText, look.title, " " + level.menu->title);
        if (level.scrolls) {
            const std::string middle(static_cast<size_t>(std::max(width / 2 - 1, 0)), ' ');
            block(model.rowRect(index, Part::ScrollUp), look.frameText, look.frame, middle + (level.scroll > 0 ? "^" : ""));
            const bool more = level.scroll + level.shownRows < static_cast<int>(level.menu->items.size());
            block(model.rowRect(index, Part::ScrollDown), look.frameText, look.frame, middle + (more ? "v" : ""));
        }
        const int rows = std::min(level.scroll + level.shownRows, static_cast<int>(level.menu->items.size()));
        for (int item = level.scroll; item < rows; ++item) {
            const MenuItem& entry = *level.menu->items[static_cast<size_t>(item)];
            const bool lit = item == level.highlight;
            std::string line;
            if (entry.kind == MenuItem::Kind::Separator) {
                line.assign(1, ' ');
                line.append(static_cast<size_t>(std::max(width - 2, 0)), '-');
            } else {
                line = (entry.kind == MenuItem::Kind::Command && entry.checked ? " *" : "  ") + entry.text;
                std::string right = entry.kind == MenuItem::Kind::Submenu ? " >" : "  ";
                if (entry.kind == MenuItem::Kind::Integer) right = valueText(model, index, item) + right;
                line = padded(line, width - static_cast<int>(right.size())) + right;
            }
            block(model.rowRect(index, Part::Item, item), lit ? look.hiliteText : look.frameText,
                  lit ? look.hilite : look.frame, line);
        }
    }
    showTextCells(TextLayer::Menu, blocks);
}

// ---- the windows ----------------------------------------------------------

LRESULT CALLBACK popupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool registerPopupClass(HINSTANCE instance) {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = popupWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kPopupClass;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    registered = RegisterClassA(&windowClass) != 0;
    return registered;
}

// Brings the windows in line with the model's levels and draws them again.
void syncWindows(OpenMenu& open) {
    const auto& levels = open.model->levels();
    while (open.windows.size() > levels.size()) {
        HWND gone = open.windows.back();
        open.windows.pop_back();
        DestroyWindow(gone);
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    for (size_t index = 0; index < levels.size(); ++index) {
        const RECT& rect = levels[index].rect;
        if (index >= open.windows.size()) {
            HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupClass, "", WS_POPUP, rect.left,
                                          rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                          instance, nullptr);
            if (!window) break;
            open.windows.push_back(window);
            ShowWindow(window, SW_SHOWNOACTIVATE);
        } else {
            SetWindowPos(open.windows[index], HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
        }
        InvalidateRect(open.windows[index], nullptr, FALSE);
    }
    if (open.screen == PopupScreen::TextCells) showLevelsAsCells(open);
}

POINT screenPoint(HWND window, LPARAM lParam) {
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(window, &at);
    return at;
}

void act(const Outcome& outcome) {
    if (!openMenu) return;
    switch (outcome.kind) {
    case Outcome::Nothing: break;
    case Outcome::Changed: syncWindows(*openMenu); break;
    case Outcome::Closed: closePopupMenu(); break;
    case Outcome::Picked: {
        const std::string command = outcome.command;
        closePopupMenu();
        broadcast(command.c_str());
        break;
    }
    }
}

// The timer lives on the first level's window, which stays while the menu is open.
void restartRestTimer(UINT milliseconds) {
    if (!openMenu || openMenu->windows.empty()) return;
    HWND first = openMenu->windows.front();
    KillTimer(first, kRestTimer);
    if (openMenu->model->restingMatters()) SetTimer(first, kRestTimer, milliseconds, nullptr);
}

LRESULT CALLBACK popupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool mine = openMenu && !openMenu->windows.empty() &&
                      std::find(openMenu->windows.begin(), openMenu->windows.end(), window) != openMenu->windows.end();
    if (!mine) return DefWindowProcA(window, message, wParam, lParam);
    OpenMenu& open = *openMenu;
    PopupMenuModel& model = *open.model;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        const auto index = std::find(open.windows.begin(), open.windows.end(), window) - open.windows.begin();
        if (index < static_cast<long>(model.levels().size())) {
            if (open.screen == PopupScreen::TextCells) {
                // The cells laid over the picture show the menu; the window only keeps its place.
                RECT client;
                GetClientRect(window, &client);
                fill(dc, client, open.look.frame);
            } else {
                paintLevel(dc, open, static_cast<int>(index));
            }
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_MOUSEMOVE: {
        const Outcome outcome = model.pointerMoved(screenPoint(window, lParam));
        restartRestTimer(kRestMs);
        act(outcome);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kScreenTimer) {
            const SIZE now{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            if (now.cx != model.screen().cx || now.cy != model.screen().cy) {
                model.screenResized(now);
                syncWindows(open);
            }
        }
        if (wParam == kRestTimer) {
            const Outcome outcome = model.rested();
            restartRestTimer(kStripMs);
            act(outcome);
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: act(model.pressed(screenPoint(window, lParam))); return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: act(model.released(screenPoint(window, lParam))); return 0;
    case WM_MOUSEWHEEL: {
        // The wheel's point is on the screen already.
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        act(model.wheel(at, GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA));
        return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // In a terminal, q quits the host; while a menu is open it closes the menu instead.
        if (open.screen == PopupScreen::TextCells && wParam == 'Q') {
            closePopupMenu();
            return 0;
        }
        act(model.key(static_cast<WORD>(wParam)));
        return 0;
    case WM_CAPTURECHANGED:
    case WM_KILLFOCUS:
        // Another window took the pointer (a drag began, say) or the keys (a
        // click in another program): the menu gives way.
        if (!open.closing && window == open.windows.front()) closePopupMenu();
        return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

void openAtPointer(Menu* menu, PopupScreen screen) {
    auto open = std::make_unique<OpenMenu>();
    open->screen = screen;
    open->look = menuLook();
    open->activeBefore = GetActiveWindow();
    popup::Metrics metrics;
    if (screen == PopupScreen::Pixels) {
        open->font = CreateFontA(-open->look.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                                 open->look.font.c_str());
        open->measuring = CreateCompatibleDC(nullptr);
        SelectObject(open->measuring, open->font);
        metrics = pixelMetrics(*open);
    } else {
        metrics = cellMetrics();
    }
    POINT at{};
    GetCursorPos(&at);
    const SIZE screenSize{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    open->model = std::make_unique<PopupMenuModel>(menu, at, screenSize, std::move(metrics));
    openMenu = std::move(open);
    syncWindows(*openMenu);
    if (openMenu->windows.empty()) {
        closePopupMenu();
        return;
    }
    SetCapture(openMenu->windows.front());
    SetFocus(openMenu->windows.front());
    SetTimer(openMenu->windows.front(), kScreenTimer, kScreenMs, nullptr);
    holdInputFor(openMenu->windows.front());
}

}  // namespace

void presentMenu(Menu* menu, bool mayOpen) {
    if (!menu) return;
    const PopupScreen screen = popupScreen();
    if (screen == PopupScreen::None) return;
    if (openMenu && (menu->flag == 0 || !mayOpen)) {
        // Rebuilt after a toggle: the open menu shows the new state where it is.
        openMenu->model->rebuilt(menu);
        if (openMenu->model->levels().empty()) closePopupMenu();
        else syncWindows(*openMenu);
        return;
    }
    if (menu->flag == 0 || !mayOpen) return;
    if (!registerPopupClass(GetModuleHandleA(nullptr))) return;
    closePopupMenu();
    openAtPointer(menu, screen);
}

void closePopupMenu() {
    if (!openMenu || openMenu->closing) return;
    OpenMenu& open = *openMenu;
    open.closing = true;
    holdInputFor(nullptr);
    if (!open.windows.empty() && GetCapture() == open.windows.front()) ReleaseCapture();
    for (auto window = open.windows.rbegin(); window != open.windows.rend(); ++window) DestroyWindow(*window);
    open.windows.clear();
    if (open.screen == PopupScreen::TextCells) showTextCells(TextLayer::Menu, {});
    if (open.activeBefore && IsWindow(open.activeBefore)) SetForegroundWindow(open.activeBefore);
    if (open.measuring) DeleteDC(open.measuring);
    if (open.font) DeleteObject(open.font);
    openMenu.reset();
}

}  // namespace obsidel
