#include "message_box_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "own_windows.h"
#include "popup_screen.h"
#include "style_boxes.h"
#include "text_cells.h"

namespace obsidel {
namespace {

const char* const kBoxClass = "ObsidelMessageBox";
constexpr int kPadding = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 80;
constexpr int kMinimumWidth = 220;
constexpr int kMinimumColumns = 24;  // in a terminal
constexpr char kOkInCells[] = "[ OK ]";

struct Box {
    std::string text, caption;
    UINT type = 0;
    PopupScreen screen = PopupScreen::Pixels;
    HWND window = nullptr;
    BoxLook look;
    HFONT font = nullptr;
    SIZE textSize{};
    int titleHeight = 0, buttonHeight = 0;
    RECT button{};  // client coordinates
    bool answered = false;
};

Box* boxOf(HWND window) { return reinterpret_cast<Box*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

// In a terminal every open box is drawn again when one opens or closes: a
// box may open over another (a command sent while one is up).
std::vector<const Box*> boxesInCells;

// The box's text as rows of cells, two columns in from the edge.
std::vector<std::string> linesInCells(const std::string& text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n') lines.emplace_back();
        else if (c == '\t') lines.back() += ' ';
        else if (c != '\r') lines.back() += c;
    }
    return lines;
}

void showBoxesAsCells() {
    std::vector<TextCellBlock> blocks;
    for (const Box* box : boxesInCells) {
        RECT at{};
        if (!GetWindowRect(box->window, &at)) continue;
        std::string body = "\n";
        for (const std::string& line : linesInCells(box->text)) body += "\n  " + line;
        blocks.push_back(cellsOver(at, box->look.text, box->look.face, body));
        const RECT title{at.left, at.top, at.right, at.top + kCellHeight};
        blocks.push_back(cellsOver(title, box->look.titleText, box->look.titleFace, " " + box->caption));
        RECT button = box->button;
        OffsetRect(&button, at.left, at.top);
        blocks.push_back(cellsOver(button, box->look.buttonText, box->look.buttonFace, kOkInCells));
    }
    showTextCells(TextLayer::Box, blocks);
}

SIZE measureText(HDC dc, const std::string& text) {
    RECT bounds{0, 0, 0, 0};
    if (!text.empty()) DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &bounds, DT_CALCRECT | DT_NOPREFIX);
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

// The kind's sign: a red octagon with a cross for errors, a yellow
// triangle with "!" for warnings, a blue octagon with "i" or "?".
void paintIcon(HDC dc, int left, int top, UINT type) {
    const UINT kind = type & 0xF0;
    if (kind == 0) return;
    const int s = kIconSize, c = s * 3 / 10;
    POINT octagon[] = {{left + c, top},          {left + s - c, top},  {left + s, top + c},     {left + s, top + s - c},
                       {left + s - c, top + s},  {left + c, top + s},  {left, top + s - c},     {left, top + c}};
    POINT triangle[] = {{left + s / 2, top}, {left + s, top + s}, {left, top + s}};
    COLORREF fill = RGB(58, 120, 200);
    const char* sign = "i";
    if (kind == MB_ICONERROR) fill = RGB(200, 48, 48), sign = "X";
    if (kind == MB_ICONWARNING) fill = RGB(230, 180, 30), sign = "!";
    if (kind == MB_ICONQUESTION) sign = "?";
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ keptBrush = SelectObject(dc, brush);
    HGDIOBJ keptPen = SelectObject(dc, pen);
    if (kind == MB_ICONWARNING)
        Polygon(dc, triangle, 3);
    else
        Polygon(dc, octagon, 8);
    SelectObject(dc, keptPen);
    SelectObject(dc, keptBrush);
    DeleteObject(pen);
    DeleteObject(brush);
    RECT signArea{left, top + (kind == MB_ICONWARNING ? s / 5 : 0), left + s, top + s};
    SetTextColor(dc, kind == MB_ICONWARNING ? RGB(0, 0, 0) : RGB(255, 255, 255));
    DrawTextA(dc, sign, 1, &signArea, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void paintBox(HWND window, const Box& box) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    if (box.screen == PopupScreen::TextCells) {
        // The cells laid over the picture show the box; the window keeps
        // its place and takes the input.
        paintBoxPanel(dc, client, box.look.face, false);
        EndPaint(window, &paint);
        return;
    }
    HGDIOBJ keptFont = SelectObject(dc, box.font);
    SetBkMode(dc, TRANSPARENT);

    paintBoxPanel(dc, client, box.look.face, true);
    RECT title{client.left + 1, client.top + 1, client.right - 1, client.top + 1 + box.titleHeight};
    paintBoxPanel(dc, title, box.look.titleFace, false);
    RECT titleText{title.left + kPadding / 2, title.top, title.right - kPadding / 2, title.bottom};
    SetTextColor(dc, box.look.titleText);
    DrawTextA(dc, box.caption.c_str(), -1, &titleText, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);

    const int bodyTop = title.bottom + kPadding;
    int textLeft = kPadding;
    if (box.type & 0xF0) {
        paintIcon(dc, kPadding, bodyTop, box.type);
        textLeft += kIconSize + kPadding;
    }
    RECT textArea{textLeft, bodyTop, client.right - kPadding, bodyTop + std::max<int>(box.textSize.cy, kIconSize)};
    SetTextColor(dc, box.look.text);
    DrawTextA(dc, box.text.c_str(), -1, &textArea, DT_LEFT | DT_NOPREFIX);

    paintBoxPanel(dc, box.button, box.look.buttonFace, true);
    RECT label = box.button;
    SetTextColor(dc, box.look.buttonText);
    DrawTextA(dc, "OK", 2, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, keptFont);
    EndPaint(window, &paint);
}

LRESULT CALLBACK boxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Box* box = boxOf(window);
    if (!box) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_PAINT: paintBox(window, *box); return 0;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE || wParam == VK_SPACE) box->answered = true;
        return 0;
    case WM_LBUTTONUP: {
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (PtInRect(&box->button, at)) box->answered = true;
        return 0;
    }
    case WM_CLOSE: box->answered = true; return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

// In a terminal: the caption row, a blank row, the text, a blank row, the
// OK row and a blank row; the width from the longest line.
SIZE layOutInCells(Box& box) {
    const std::vector<std::string> lines = linesInCells(box.text);
    int columns = std::max<int>(kMinimumColumns, static_cast<int>(box.caption.size()) + 4);
    for (const std::string& line : lines) columns = std::max<int>(columns, static_cast<int>(line.size()) + 4);
    columns = std::min(columns, std::max(kMinimumColumns, GetSystemMetrics(SM_CXSCREEN) / kCellWidth));
    const int rows = static_cast<int>(lines.size()) + 5;
    const int buttonColumns = static_cast<int>(sizeof kOkInCells) - 1;
    const int buttonLeft = (columns - buttonColumns) / 2;
    box.button = RECT{buttonLeft * kCellWidth, (rows - 2) * kCellHeight, (buttonLeft + buttonColumns) * kCellWidth,
                      (rows - 1) * kCellHeight};
    return SIZE{columns * kCellWidth, rows * kCellHeight};
}

// The box's size from its texts, and the OK button's place in it.
SIZE layOut(Box& box) {
    if (box.screen == PopupScreen::TextCells) return layOutInCells(box);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ kept = SelectObject(dc, box.font);
    box.textSize = measureText(dc, box.text);
    const SIZE captionSize = measureText(dc, box.caption);
    SelectObject(dc, kept);
    DeleteDC(dc);
    box.titleHeight = box.look.fontHeight + 8;
    box.buttonHeight = box.look.fontHeight + 12;
    const int iconWidth = (box.type & 0xF0) ? kIconSize + kPadding : 0;
    const int bodyHeight = std::max<int>(box.textSize.cy, (box.type & 0xF0) ? kIconSize : 0);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int width = std::max({kMinimumWidth, 2 * kPadding + iconWidth + static_cast<int>(box.textSize.cx),
                          static_cast<int>(captionSize.cx) + 2 * kPadding});
    width = std::min(width, std::max(kMinimumWidth, screenWidth - 2 * kPadding));
    const int height = 1 + box.titleHeight + kPadding + bodyHeight + kPadding + box.buttonHeight + kPadding + 1;
    box.button = RECT{(width - kButtonWidth) / 2, height - kPadding - 1 - box.buttonHeight,
                      (width + kButtonWidth) / 2, height - kPadding - 1};
    return SIZE{width, height};
}

POINT placeCentred(HWND owner, SIZE size) {
    RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT screen = around;
    if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &around);
    int x = (around.left + around.right - size.cx) / 2, y = (around.top + around.bottom - size.cy) / 2;
    x = std::max<int>(screen.left, std::min<int>(x, screen.right - size.cx));
    y = std::max<int>(screen.top, std::min<int>(y, screen.bottom - size.cy));
    return POINT{x, y};
}

}  // namespace

int showMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    if ((type & MB_TYPEMASK) != MB_OK) return 0;
    if (!registerOwnClass(kBoxClass, boxProc)) return 0;

    Box box;
    box.text = text ? text : "";
    box.caption = caption ? caption : "";
    box.type = type;
    box.screen = popupScreen();
    box.look = messageBoxLook();
    box.font = createBoxFont(box.look);
    const SIZE size = layOut(box);
    POINT at = placeCentred(owner, size);
    if (box.screen == PopupScreen::TextCells) at.y = cellRowTop(at.y);
    HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kBoxClass, box.caption.c_str(), WS_POPUP, at.x,
                                  at.y, size.cx, size.cy, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        DeleteObject(box.font);
        return 0;
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&box));
    box.window = window;
    const bool inCells = box.screen == PopupScreen::TextCells;
    if (inCells) {
        boxesInCells.push_back(&box);
        showBoxesAsCells();
    }
    runModal(window, box.answered);
    if (inCells) {
        boxesInCells.erase(std::find(boxesInCells.begin(), boxesInCells.end(), &box));
        showBoxesAsCells();
    }
    DeleteObject(box.font);
    return IDOK;
}

}  // namespace obsidel
