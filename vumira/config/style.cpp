// The host's style as the plug-in uses it (background record, frame widths,
// border colour, font, and the bar and marker colours looked up under the
// user's keys), and the four colour presets that set both keys at once.
#include "config/style.h"

#include <cstring>

#include "config/plugin_state.h"
#include "config/settings.h"
#include "config/settings_table.h"

namespace vumira {
namespace {

struct ColorPreset {
    const char* scopeKey;
    const char* peakKey;
};

// Style-file keys, each with its trailing colon as the state holds them.
constexpr ColorPreset kColorPresets[] = {
    {"toolbar.windowLabel.color:", "window.label.focus.textColor:"},
    {"window.label.focus.color:", "menu.frame.color:"},
    {"menu.frame.color:", "window.label.focus.color:"},
    {"menu.hilite.color:", "menu.frame.color:"},
};
static_assert(sizeof kColorPresets / sizeof kColorPresets[0] == 4, "presets 1 to 4");

// A preset's key goes into the field as it is held, colon included; the
// row writes it as the rc file keeps it, without the colon.
void holdAndWrite(SettingId id, const char* styleKey) {
    const Setting& row = setting(id);
    row.field.setText(styleKey);
    writeSettingText(row);
}

}  // namespace

void readStyle() {
    if (plugin.styleFont) {
        DeleteObject(plugin.styleFont);
        plugin.styleFont = nullptr;
    }

    // A host that lacks a value leaves the one read before.
    if (const void* item = GetSettingPtr(OB_STYLE_ITEM)) std::memcpy(&plugin.styleItem, item, sizeof(StyleItem));
    if (const auto* bevel = static_cast<const int*>(GetSettingPtr(OB_BEVEL_WIDTH))) plugin.bevelWidth = *bevel;
    if (const auto* border = static_cast<const int*>(GetSettingPtr(OB_BORDER_WIDTH))) plugin.borderWidth = *border;
    if (const auto* color = static_cast<const COLORREF*>(GetSettingPtr(OB_BORDER_COLOR))) plugin.borderColor = *color;

    char path[kPathSize];
    copyText(path, stylePath(nullptr));
    plugin.scopeColor = ReadColor(path, plugin.scopeColorKey, "#FFFFFF");
    plugin.peakColor = ReadColor(path, plugin.peakColorKey, "#000000");

    plugin.styleFont = CreateStyleFont(&plugin.styleItem);
}

void applyColorPreset(int preset) {
    if (preset < 1 || preset > 4) return;
    const ColorPreset& chosen = kColorPresets[preset - 1];
    holdAndWrite(SettingId::ScopeColorKey, chosen.scopeKey);
    holdAndWrite(SettingId::PeakColorKey, chosen.peakKey);
    readStyle();
}

}  // namespace vumira
