// The pop-up menu's look from the current style; see style.h.
#include "style.h"

namespace obsidel {
namespace {

// A menu frame wider than this hides the items it frames.
constexpr int kMaxMenuFrame = 20;

}  // namespace

MenuLook menuLook() {
    MenuLook look;
    look.frame = currentStyleColor("menu.frame.color");
    look.frameText = currentStyleColor("menu.frame.textColor");
    look.hilite = currentStyleColor("menu.hilite.color");
    look.hiliteText = currentStyleColor("menu.hilite.textColor");
    look.title = currentStyleColor("menu.title.color");
    look.titleText = currentStyleColor("menu.title.textColor");
    look.border = currentStyleColor("menu.borderColor");
    look.borderWidth = currentStyleNumber("menu.borderWidth", 0, kMaxMenuFrame);
    look.bevelWidth = currentStyleNumber("menu.bevelWidth", 0, kMaxMenuFrame);
    look.font = currentStyleValue("menu.font");
    look.fontHeight = currentStyleNumber("menu.fontHeight", 6, 64);
    return look;
}

}  // namespace obsidel
