// MakeNamedMenu, MakeMenuItem, MakeMenuItemInt, MakeMenuNOP, MakeSubmenu
// and ShowMenu: the host keeps the tree; see menu_tree.h.
#include "menu_tree.h"

#include <cstdio>
#include <map>

namespace obsidel {
namespace {

std::map<std::string, std::unique_ptr<Menu>> menusById;
std::vector<std::unique_ptr<Menu>> menusWithoutId;
Menu* lastShown = nullptr;
std::uint64_t showCount = 0;
MenuPresenter presenter = nullptr;
int readings = 0;

std::string copied(LPCSTR text) { return text ? std::string(text) : std::string(); }

MenuItem* append(Menu* menu, std::unique_ptr<MenuItem> item) {
    if (!menu) return nullptr;
    menu->items.push_back(std::move(item));
    return menu->items.back().get();
}

// True when `target` is `menu` or lies somewhere under it.
bool reaches(const Menu* menu, const Menu* target) {
    if (menu == target) return true;
    for (const auto& item : menu->items)
        if (item->kind == MenuItem::Kind::Submenu && item->submenu && reaches(item->submenu, target)) return true;
    return false;
}

}  // namespace

Menu* shownMenu() { return lastShown; }
std::uint64_t menuShowCount() { return showCount; }
void setMenuPresenter(MenuPresenter shower) { presenter = shower; }

MenuReading::MenuReading() { ++readings; }
MenuReading::~MenuReading() { --readings; }

void clearMenus() {
    lastShown = nullptr;
    menusById.clear();
    menusWithoutId.clear();
}

}  // namespace obsidel

using obsidel::append;
using obsidel::copied;

extern "C" Menu* MakeNamedMenu(LPCSTR title, LPCSTR id, int popup) {
    Menu* menu = nullptr;
    if (id && *id) {
        auto& slot = obsidel::menusById[id];
        if (!slot) {
            slot = std::make_unique<Menu>();
            slot->id = id;
        }
        menu = slot.get();
        menu->items.clear();
    } else {
        obsidel::menusWithoutId.push_back(std::make_unique<Menu>());
        menu = obsidel::menusWithoutId.back().get();
    }
    menu->title = copied(title);
    menu->flag = popup;
    return menu;
}

extern "C" MenuItem* MakeMenuItem(Menu* menu, LPCSTR text, LPCSTR command, int checked) {
    auto item = std::make_unique<MenuItem>();
    item->kind = MenuItem::Kind::Command;
    item->text = copied(text);
    item->command = copied(command);
    item->checked = checked != 0;
    return append(menu, std::move(item));
}

extern "C" MenuItem* MakeMenuItemInt(Menu* menu, LPCSTR text, LPCSTR command, int value, int minimum,
                                     int maximum) {
    auto item = std::make_unique<MenuItem>();
    item->kind = MenuItem::Kind::Integer;
    item->text = copied(text);
    item->command = copied(command);
    item->value = value;
    item->minimum = minimum;
    item->maximum = maximum;
    return append(menu, std::move(item));
}

extern "C" MenuItem* MakeMenuNOP(Menu* menu, LPCSTR text) {
    auto item = std::make_unique<MenuItem>();
    item->kind = MenuItem::Kind::Separator;
    item->text = copied(text);
    return append(menu, std::move(item));
}

extern "C" MenuItem* MakeSubmenu(Menu* parent, Menu* child, LPCSTR title) {
    if (!parent || !child) return nullptr;
    // A menu under itself would make the tree endless.
    if (obsidel::reaches(child, parent)) {
        std::fprintf(stderr, "obsidel: the menu \"%s\" cannot be put under itself (in \"%s\")\n",
                     child->title.c_str(), parent->title.c_str());
        return nullptr;
    }
    auto item = std::make_unique<MenuItem>();
    item->kind = MenuItem::Kind::Submenu;
    item->text = copied(title);
    item->submenu = child;
    return append(parent, std::move(item));
}

extern "C" void ShowMenu(Menu* menu) {
    if (!menu) return;
    obsidel::lastShown = menu;
    ++obsidel::showCount;
    if (obsidel::presenter) obsidel::presenter(menu, obsidel::readings == 0);
}
