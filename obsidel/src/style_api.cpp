// The style calls of the host API: stylePath, ReadColor, GetSettingPtr,
// over the current style that style.cpp holds.
#include <obsidel/api.h>

#include "style.h"

extern "C" {

LPCSTR stylePath(LPCSTR /*other: reserved, pass 0*/) {
    return obsidel::currentStylePathText();
}

COLORREF ReadColor(LPCSTR path, LPCSTR key, LPCSTR defaultValue) {
    COLORREF fallback = obsidel::parseColor(defaultValue ? defaultValue : "").value_or(0);
    if (!key) return fallback;
    auto value = obsidel::styleValue(path ? path : "", key);
    if (!value) return fallback;
    return obsidel::parseColor(*value).value_or(fallback);
}

void* GetSettingPtr(int index) {
    // The record stays in place for the process's life; a new style is
    // copied into it, so plug-ins may keep the pointers.
    obsidel::HostStyle& style = obsidel::currentStyleRecord();
    switch (index) {
    case OB_STYLE_ITEM: return &style.toolbar;
    case OB_BORDER_WIDTH: return &style.borderWidth;
    case OB_BORDER_COLOR: return &style.borderColor;
    case OB_BEVEL_WIDTH: return &style.bevelWidth;
    default: return nullptr;
    }
}

}  // extern "C"
