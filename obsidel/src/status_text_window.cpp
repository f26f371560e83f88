#include "status_text_window.h"

#include <algorithm>
#include <string>

#include "own_windows.h"
#include "popup_screen.h"
#include "style_boxes.h"
#include "text_cells.h"

namespace obsidel {
namespace {

const char* const kStatusClass = "ObsidelStatusText";
constexpr UINT_PTR kHideTimer = 1;
constexpr int kPaddingX = 8, kPaddingY = 4;
constexpr int kGap = 4;  // between the window it belongs to and the text

HWND statusWindow = nullptr;
std::string statusText;

// One cell of room each side of the text, and a row between it and its window.
struct Spacing {
    int paddingX, paddingY, gap;
};
Spacing spacingOn(PopupScreen screen) {
    if (screen == PopupScreen::TextCells) return Spacing{kCellWidth, 0, kCellHeight};
    return Spacing{kPaddingX, kPaddingY, kGap};
}

void showAsCells(HWND window) {
    RECT at{};
    GetWindowRect(window, &at);
    const BoxLook look = statusTextLook();
    showTextCells(TextLayer::Status, {cellsOver(at, look.text, look.face, " " + statusText)});
}

void hideStatus(HWND window) {
    ShowWindow(window, SW_HIDE);
    if (popupScreen() == PopupScreen::TextCells) showTextCells(TextLayer::Status, {});
}

void paintStatus(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    const BoxLook look = statusTextLook();
    if (popupScreen() == PopupScreen::TextCells) {
        // The cells over the picture show the text; the window only keeps its place.
        paintBoxPanel(dc, client, look.face, false);
        EndPaint(window, &paint);
        return;
    }
    HFONT font = createBoxFont(look);
    HGDIOBJ kept = SelectObject(dc, font);
    paintBoxPanel(dc, client, look.face, true);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, look.text);
    DrawTextA(dc, statusText.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, kept);
    DeleteObject(font);
    EndPaint(window, &paint);
}

LRESULT CALLBACK statusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: paintStatus(window); return 0;
    case WM_TIMER:
        if (wParam == kHideTimer) {
            KillTimer(window, kHideTimer);
            hideStatus(window);
        }
        return 0;
    case WM_NCDESTROY:
        if (window == statusWindow) {
            statusWindow = nullptr;
            if (popupScreen() == PopupScreen::TextCells) showTextCells(TextLayer::Status, {});
        }
        return DefWindowProcA(window, message, wParam, lParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND statusWindowFor(HWND owner) {
    if (statusWindow && IsWindow(statusWindow)) return statusWindow;
    if (!registerOwnClass(kStatusClass, statusProc)) return nullptr;
    statusWindow = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kStatusClass, "Obsidel status text", WS_POPUP,
                                   0, 0, 1, 1, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
    return statusWindow;
}

SIZE textSize(const std::string& text, PopupScreen screen) {
    if (screen == PopupScreen::TextCells) return SIZE{static_cast<LONG>(text.size()) * kCellWidth, kCellHeight};
    const BoxLook look = statusTextLook();
    HFONT font = createBoxFont(look);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ kept = SelectObject(dc, font);
    SIZE size{0, look.fontHeight};
    if (!text.empty()) GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, kept);
    DeleteDC(dc);
    DeleteObject(font);
    return size;
}

POINT placeNear(HWND anchor, SIZE size, int gap) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    POINT at{(screenWidth - size.cx) / 2, screenHeight - size.cy - 2 * gap};
    RECT beside{};
    if (anchor && IsWindowVisible(anchor) && GetWindowRect(anchor, &beside)) {
        at.x = beside.left;
        at.y = beside.bottom + gap;
        if (at.y + size.cy > screenHeight) at.y = beside.top - gap - size.cy;
    }
    at.x = std::max(0, std::min<int>(at.x, screenWidth - size.cx));
    at.y = std::max(0, std::min<int>(at.y, screenHeight - size.cy));
    return at;
}

}  // namespace

void showStatusText(HWND owner, HWND anchor, const char* text) {
    HWND window = statusWindowFor(owner);
    if (!window) return;
    statusText = text ? text : "";
    const PopupScreen screen = popupScreen();
    const Spacing spacing = spacingOn(screen);
    SIZE size = textSize(statusText, screen);
    size.cx += 2 * spacing.paddingX;
    size.cy += 2 * spacing.paddingY;
    POINT at = placeNear(anchor, size, spacing.gap);
    if (screen == PopupScreen::TextCells) at.y = cellRowTop(at.y);
    SetWindowPos(window, HWND_TOPMOST, at.x, at.y, size.cx, size.cy, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, FALSE);
    if (screen == PopupScreen::TextCells) showAsCells(window);
    SetTimer(window, kHideTimer, kStatusTextMs, nullptr);
}

HWND shownStatusText() { return statusWindow && IsWindowVisible(statusWindow) ? statusWindow : nullptr; }

}  // namespace obsidel
