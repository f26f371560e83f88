// The menus that plug-ins build through MakeNamedMenu, MakeMenuItem,
// MakeMenuItemInt, MakeMenuNOP and MakeSubmenu, and hand to ShowMenu.
//
// Every text is copied during the call, so a plug-in may reuse its buffers
// at once. A menu made again with the id of an earlier one is that same
// menu, emptied and retitled: handles to it stay valid, and a tree that
// holds it as a submenu sees the new entries. Menus made without an id are
// new each time and live until the host exits. All calls run on the
// user-interface thread.
#pragma once

#include <obsidel/api.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct MenuItem {
    enum class Kind { Command, Integer, Separator, Submenu };
    Kind kind = Kind::Command;
    std::string text;
    std::string command;  // Command and Integer items
    bool checked = false;  // Command items
    int value = 0, minimum = 0, maximum = 0;  // Integer items
    Menu* submenu = nullptr;  // Submenu items
};

struct Menu {
    std::string title;
    std::string id;
    int flag = 0;  // what the plug-in passed: 1 for a right click, 0 when rebuilt
    std::vector<std::unique_ptr<MenuItem>> items;
};

namespace obsidel {

// The menu handed to ShowMenu last (null before the first), and how many
// times ShowMenu has run.
Menu* shownMenu();
std::uint64_t menuShowCount();

// Who shows a menu handed to ShowMenu on the screen; without one (tests,
// before the host starts) the menu is only recorded. `mayOpen` is false
// while a MenuReading lives.
using MenuPresenter = void (*)(Menu* menu, bool mayOpen);
void setMenuPresenter(MenuPresenter presenter);

// While one lives, the menus that plug-ins show are built to be read (the
// host's --menu and --pick): recorded, followed by an open pop-up, but no
// pop-up opens for them.
class MenuReading {
public:
    MenuReading();
    ~MenuReading();
    MenuReading(const MenuReading&) = delete;
    MenuReading& operator=(const MenuReading&) = delete;
};

// Forgets every menu (the host's exit; tests).
void clearMenus();

}  // namespace obsidel
