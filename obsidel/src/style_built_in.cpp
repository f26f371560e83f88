// The built-in style's values.
#include "style_built_in.h"

#include "style_parse.h"

namespace obsidel {
namespace {

struct StyleEntry {
    const char* key;
    const char* value;
};

// The built-in style: the same values as the shipped "default.style" (a
// test holds the two together). In force before any file is read, and the
// source of every key that a style file leaves out.
constexpr StyleEntry kBuiltInStyle[] = {
    {"toolbar", "raised gradient vertical bevel1"},
    {"toolbar.color", "#3a4656"},
    {"toolbar.colorTo", "#1b2129"},
    {"toolbar.textColor", "#8fd3ff"},
    {"toolbar.font", "DejaVu Sans"},
    {"toolbar.fontHeight", "12"},
    {"toolbar.fontWeight", "normal"},
    {"toolbar.windowLabel.color", "#5fb878"},
    {"borderWidth", "1"},
    {"borderColor", "#7a8899"},
    {"bevelWidth", "2"},
    {"window.label.focus.color", "#4f7cac"},
    {"window.label.focus.textColor", "#ffd166"},
    {"menu.frame.color", "#262d36"},
    {"menu.frame.textColor", "#d6dde6"},
    {"menu.hilite.color", "#4f7cac"},
    {"menu.hilite.textColor", "#ffffff"},
    {"menu.title.color", "#1b2129"},
    {"menu.title.textColor", "#8fd3ff"},
    {"menu.font", "DejaVu Sans"},
    {"menu.fontHeight", "13"},
    {"menu.borderWidth", "1"},
    {"menu.borderColor", "#7a8899"},
    {"menu.bevelWidth", "1"},

    // The host's message boxes and status texts (style_boxes.h).
    {"messageBox.color", "#262d36"},
    {"messageBox.textColor", "#d6dde6"},
    {"messageBox.title.color", "#1b2129"},
    {"messageBox.title.textColor", "#8fd3ff"},
    {"messageBox.button.color", "#4f7cac"},
    {"messageBox.button.textColor", "#ffffff"},
    {"messageBox.font", "DejaVu Sans"},
    {"messageBox.fontHeight", "13"},
    {"statusText.color", "#1b2129"},
    {"statusText.textColor", "#ffd166"},
    {"statusText.font", "DejaVu Sans"},
    {"statusText.fontHeight", "12"},
};

}  // namespace

std::optional<std::string> builtInValue(const std::string& key) {
    std::string wanted = lowercase(withoutColon(key));
    for (const auto& entry : kBuiltInStyle) {
        if (lowercase(entry.key) == wanted) return std::string(entry.value);
    }
    return std::nullopt;
}

}  // namespace obsidel
