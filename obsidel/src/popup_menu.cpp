// The pop-up menu's windows and their input; the drawing is
// popup_menu_paint (GDI) or popup_menu_cells (a terminal's text cells).
#include "popup_menu.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host_window.h"
#include "popup_menu_cells.h"
#include "popup_menu_model.h"
#include "popup_menu_paint.h"
#include "popup_screen.h"
#include "style.h"
#include "text_cells.h"

namespace obsidel {
namespace {

using popup::Outcome;
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
    if (open.screen == PopupScreen::TextCells) showMenuAsCells(*open.model, open.look);
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
                paintMenuBackground(dc, client, open.look);
            } else {
                paintMenuLevel(dc, model, static_cast<int>(index), open.look, open.font);
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
        metrics = pixelMenuMetrics(open->measuring, open->look);
    } else {
        metrics = cellMenuMetrics();
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
