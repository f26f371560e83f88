// The pop-up menu's look from the current style; see style.h.
#include <algorithm>

#include "settings_store.h"
#include "style.h"

namespace obsidel {
namespace {

// A menu frame wider than this hides the items it frames.
constexpr int kMaxMenuFrame = 20;

std::string menuValue(const char* key) {
    if (auto value = styleValue(currentStyle().path, key)) return *value;
    return styleValue("", key).value_or("");
}

COLORREF menuColor(const char* key) {
    if (auto color = parseColor(menuValue(key))) return *color;
    return parseColor(styleValue("", key).value_or("")).value_or(0);
}

int menuNumber(const char* key, int minimum, int maximum) {
    auto number = parseInt(menuValue(key));
    if (!number) number = parseInt(styleValue("", key).value_or("0"));
    return std::clamp(number.value_or(0), minimum, maximum);
}

}  // namespace

MenuLook menuLook() {
    MenuLook look;
    look.frame = menuColor("menu.frame.color");
    look.frameText = menuColor("menu.frame.textColor");
    look.hilite = menuColor("menu.hilite.color");
    look.hiliteText = menuColor("menu.hilite.textColor");
    look.title = menuColor("menu.title.color");
    look.titleText = menuColor("menu.title.textColor");
    look.border = menuColor("menu.borderColor");
    look.borderWidth = menuNumber("menu.borderWidth", 0, kMaxMenuFrame);
    look.bevelWidth = menuNumber("menu.bevelWidth", 0, kMaxMenuFrame);
    look.font = menuValue("menu.font");
    look.fontHeight = menuNumber("menu.fontHeight", 6, 64);
    return look;
}

}  // namespace obsidel
