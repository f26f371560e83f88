#include "style_boxes.h"

#include <obsidel/api.h>

#include "style.h"

namespace obsidel {

BoxLook messageBoxLook() {
    BoxLook look;
    look.face = currentStyleColor("messageBox.color");
    look.text = currentStyleColor("messageBox.textColor");
    look.titleFace = currentStyleColor("messageBox.title.color");
    look.titleText = currentStyleColor("messageBox.title.textColor");
    look.buttonFace = currentStyleColor("messageBox.button.color");
    look.buttonText = currentStyleColor("messageBox.button.textColor");
    look.fontFace = currentStyleValue("messageBox.font");
    look.fontHeight = currentStyleNumber("messageBox.fontHeight", 6, 72);
    return look;
}

BoxLook statusTextLook() {
    BoxLook look;
    look.face = look.titleFace = look.buttonFace = currentStyleColor("statusText.color");
    look.text = look.titleText = look.buttonText = currentStyleColor("statusText.textColor");
    look.fontFace = currentStyleValue("statusText.font");
    look.fontHeight = currentStyleNumber("statusText.fontHeight", 6, 72);
    return look;
}

HFONT createBoxFont(const BoxLook& look) {
    return CreateFontA(look.fontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, look.fontFace.c_str());
}

void paintBoxPanel(HDC dc, const RECT& rect, COLORREF face, bool bordered) {
    StyleItem item{};
    item.texture = STYLE_FLAT;
    item.bevelStyle = BEVEL_RAISED;
    item.bevelPosition = 1;
    item.color = item.colorTo = face;
    RECT area = rect;
    MakeStyleGradient(dc, &area, &item, bordered ? 1 : 0);
}

}  // namespace obsidel
