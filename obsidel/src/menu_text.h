// A menu tree as indented text, for the terminal and for tests, and the
// picking of an item by its path.
//
// One line per entry, two blanks of indent per level; texts in double
// quotes (a quote, a backslash or a control character inside is escaped
// as in C):
//   menu "TITLE" id "ID" flag F                 the menu itself (first line)
//   [x] "TEXT" -> "COMMAND"                     an item, checked ([ ] when not)
//   [=] "TEXT" -> "COMMAND" VALUE in MIN..MAX   an integer item
//   ---                                         a separator (--- "TEXT" when it has one)
//   > "TEXT" menu "TITLE" id "ID" flag F        a submenu, its entries below it
//
// A path names one entry from the menu down: the texts of the submenus
// and of the item, joined by "/" ("Configuration/FPS/30"). A text that
// itself holds a "/" ("7/10") is matched whole where it fits. Where an item
// and a submenu share a text, the path names the item.
#pragma once

#include <optional>
#include <string>

#include "menu_tree.h"

namespace obsidel {

std::string menuText(const Menu& menu);

// The command text that picking the entry at `path` broadcasts: an item's
// command, or an integer item's command, a blank and `value`. Nothing, with
// the reason in `error`, when the path names no item, names a submenu or a
// separator, or the value is missing, unwanted or out of the item's range.
std::optional<std::string> commandForPath(const Menu& menu, const std::string& path, std::optional<int> value,
                                          std::string& error);

// Splits "PATH=VALUE" (the value an optionally signed integer) into its
// parts; any other text is a path alone.
void splitPathAndValue(const std::string& text, std::string& path, std::optional<int>& value);

}  // namespace obsidel
