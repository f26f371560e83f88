#include "system_menu.h"

#include <algorithm>
#include <cstdio>

#include "host_window.h"
#include "own_windows.h"
#include "style_boxes.h"

namespace obsidel {
namespace {

void appendLevel(HMENU into, const Menu& menu, std::vector<const MenuItem*>& items) {
    for (const auto& entry : menu.items) {
        const MenuItem& item = *entry;
        switch (item.kind) {
        case MenuItem::Kind::Separator: AppendMenuA(into, MF_SEPARATOR, 0, nullptr); break;
        case MenuItem::Kind::Submenu: {
            if (!item.submenu) break;
            HMENU level = CreatePopupMenu();
            appendLevel(level, *item.submenu, items);
            AppendMenuA(into, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(level), item.text.c_str());
            break;
        }
        case MenuItem::Kind::Command:
            items.push_back(&item);
            AppendMenuA(into, MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED), items.size(), item.text.c_str());
            break;
        case MenuItem::Kind::Integer: {
            items.push_back(&item);
            // The value stands right-aligned after a tab, where accelerators go.
            const std::string text = item.text + "\t" + std::to_string(item.value);
            AppendMenuA(into, MF_STRING, items.size(), text.c_str());
            break;
        }
        }
    }
}

// ---- the value chooser ----

const char* const kChooserClass = "ObsidelValueChooser";
constexpr int kChooserWidth = 160;

struct Chooser {
    const MenuItem* item = nullptr;
    int value = 0;
    std::string typed;
    bool done = false, taken = false;
    BoxLook look;
    HFONT font = nullptr;
};

Chooser* chooserOf(HWND window) { return reinterpret_cast<Chooser*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

void paintChooser(HWND window, const Chooser& chooser) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    HGDIOBJ kept = SelectObject(dc, chooser.font);
    paintBoxPanel(dc, client, chooser.look.face, true);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, chooser.look.text);
    char text[96];
    std::snprintf(text, sizeof text, "%d  (%d .. %d)", chooser.value, chooser.item->minimum, chooser.item->maximum);
    DrawTextA(dc, text, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, kept);
    EndPaint(window, &paint);
}

LRESULT CALLBACK chooserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Chooser* chooser = chooserOf(window);
    if (!chooser) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_PAINT: paintChooser(window, *chooser); return 0;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            chooser->done = chooser->taken = true;
        } else if (wParam == VK_ESCAPE) {
            chooser->done = true;
        } else {
            chooser->value = chooserValueAfterKey(chooser->value, chooser->item->minimum, chooser->item->maximum,
                                                  wParam, chooser->typed);
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case WM_MOUSEWHEEL:
        chooser->typed.clear();
        chooser->value = chooserValueAfterKey(chooser->value, chooser->item->minimum, chooser->item->maximum,
                                              GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? VK_UP : VK_DOWN, chooser->typed);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP: chooser->done = chooser->taken = true; return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) chooser->done = true;  // a click elsewhere
        return 0;
    case WM_CLOSE: chooser->done = true; return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

SystemMenu buildSystemMenu(const Menu& menu) {
    SystemMenu built;
    built.menu = CreatePopupMenu();
    appendLevel(built.menu, menu, built.items);
    return built;
}

void destroySystemMenu(SystemMenu& built) {
    if (built.menu) DestroyMenu(built.menu);  // takes its submenus with it
    built.menu = nullptr;
    built.items.clear();
}

int chooserValueAfterKey(int value, int minimum, int maximum, WPARAM key, std::string& typed) {
    const int low = std::min(minimum, maximum), high = std::max(minimum, maximum);
    auto bounded = [&](long long wanted) { return static_cast<int>(std::clamp<long long>(wanted, low, high)); };
    if (key >= '0' && key <= '9') {
        if (typed.size() < 9) typed += static_cast<char>(key);
        return bounded(std::stoll(typed));
    }
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return chooserValueAfterKey(value, minimum, maximum, '0' + (key - VK_NUMPAD0), typed);
    if (key == VK_BACK) {
        if (!typed.empty()) typed.pop_back();
        return typed.empty() ? value : bounded(std::stoll(typed));
    }
    typed.clear();
    switch (key) {
    case VK_UP:
    case VK_RIGHT: return bounded(static_cast<long long>(value) + 1);
    case VK_DOWN:
    case VK_LEFT: return bounded(static_cast<long long>(value) - 1);
    case VK_PRIOR: return bounded(static_cast<long long>(value) + 10);
    case VK_NEXT: return bounded(static_cast<long long>(value) - 10);
    case VK_HOME: return low;
    case VK_END: return high;
    default: return bounded(value);
    }
}

bool chooseValue(const MenuItem& item, POINT at, int& value) {
    if (!registerOwnClass(kChooserClass, chooserProc)) return false;

    Chooser chooser;
    chooser.item = &item;
    chooser.value = std::clamp(item.value, std::min(item.minimum, item.maximum), std::max(item.minimum, item.maximum));
    chooser.look = messageBoxLook();
    chooser.font = createBoxFont(chooser.look);
    const int height = chooser.look.fontHeight + 16;
    HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kChooserClass, item.text.c_str(), WS_POPUP, at.x,
                                  at.y, kChooserWidth, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        DeleteObject(chooser.font);
        return false;
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&chooser));
    runModal(window, chooser.done);
    DeleteObject(chooser.font);
    if (chooser.taken) value = chooser.value;
    return chooser.taken;
}

void runPickedItem(const MenuItem& item, POINT at) {
    if (item.kind == MenuItem::Kind::Command) {
        broadcast(item.command.c_str());
        return;
    }
    if (item.kind != MenuItem::Kind::Integer) return;
    int value = item.value;
    if (!chooseValue(item, at, value)) return;
    const std::string command = item.command + " " + std::to_string(value);
    broadcast(command.c_str());
}

void presentSystemMenu(Menu* menu, bool mayOpen) {
    // A tree rebuilt after a toggle (flag 0) opens nothing: the system's
    // menu closed before the pick ran.
    if (!menu || !mayOpen || menu->flag == 0) return;
    POINT at{};
    GetCursorPos(&at);
    HWND owner = hostWindow();
    SystemMenu built = buildSystemMenu(*menu);
    // The system closes a pop-up on a click elsewhere only while its owner is
    // the foreground window.
    SetForegroundWindow(owner);
    const UINT picked = static_cast<UINT>(
        TrackPopupMenu(built.menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
    PostMessageA(owner, WM_NULL, 0, 0);
    // The tree may be rebuilt by what the pick does: copy the item first.
    std::vector<MenuItem> pickedItem;
    if (picked >= 1 && picked <= built.items.size()) pickedItem.push_back(*built.items[picked - 1]);
    destroySystemMenu(built);
    if (!pickedItem.empty()) runPickedItem(pickedItem.front(), at);
}

}  // namespace obsidel
