// The host's current style: read from a file (its words by style_parse,
// missing keys from style_built_in), held for the process's life, and
// asked for by the host's drawing; the host API's calls are style_api.cpp.
#include "style.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "file_text.h"
#include "host_paths.h"
#include "settings_store.h"
#include "style_built_in.h"
#include "style_parse.h"

namespace obsidel {
namespace {

// Frame widths beyond this are taken as this: a style is a look, and a
// border wider than any plug-in window only hides the window's content.
constexpr int kMaxFrameWidth = 100;

// The value of `key` in the file, or the built-in style's value.
std::string valueOrBuiltIn(const std::string& path, const char* key) {
    if (auto value = styleValue(path, key)) return *value;
    return builtInValue(key).value_or("");
}

COLORREF colorOr(const std::string& text, const char* builtInKey) {
    if (auto color = parseColor(text)) return *color;
    return parseColor(builtInValue(builtInKey).value_or("")).value_or(0);
}

int numberOr(const std::string& text, const char* builtInKey, int minimum, int maximum) {
    auto number = parseInt(text);
    if (!number) number = parseInt(builtInValue(builtInKey).value_or("0"));
    return std::clamp(number.value_or(0), minimum, maximum);
}

HostStyle readStyle(const std::string& path) {
    HostStyle style;
    style.path = path;
    StyleItem& item = style.toolbar;
    std::memset(&item, 0, sizeof item);
    parseTexture(valueOrBuiltIn(path, "toolbar"), item);
    item.color = colorOr(valueOrBuiltIn(path, "toolbar.color"), "toolbar.color");
    item.colorTo = colorOr(valueOrBuiltIn(path, "toolbar.colorTo"), "toolbar.colorTo");
    item.textColor = colorOr(valueOrBuiltIn(path, "toolbar.textColor"), "toolbar.textColor");
    item.fontHeight = numberOr(valueOrBuiltIn(path, "toolbar.fontHeight"), "toolbar.fontHeight", 1, 200);
    item.fontWeight = fontWeightOf(valueOrBuiltIn(path, "toolbar.fontWeight"));
    std::string face = valueOrBuiltIn(path, "toolbar.font");
    // A face name longer than the record's field is cut to fit.
    std::snprintf(item.fontFace, sizeof item.fontFace, "%s", face.c_str());

    style.borderWidth = numberOr(valueOrBuiltIn(path, "borderWidth"), "borderWidth", 0, kMaxFrameWidth);
    style.borderColor = colorOr(valueOrBuiltIn(path, "borderColor"), "borderColor");
    style.bevelWidth = numberOr(valueOrBuiltIn(path, "bevelWidth"), "bevelWidth", 0, kMaxFrameWidth);
    return style;
}

// The current style lives for the whole process: GetSettingPtr hands out
// pointers into it, so a new style is copied over it, never reallocated.
HostStyle& current() {
    static HostStyle style = readStyle("");
    return style;
}

// stylePath hands out a pointer that must outlive the call.
char currentPathText[MAX_PATH] = {};

void makeCurrent(const HostStyle& style) {
    current() = style;
    std::snprintf(currentPathText, sizeof currentPathText, "%s", style.path.c_str());
}

}  // namespace

const HostStyle& currentStyle() { return current(); }

HostStyle& currentStyleRecord() { return current(); }

const char* currentStylePathText() { return current().path.empty() ? "" : currentPathText; }

bool loadStyleFile(const std::string& path, const char* outcome) {
    const FileText file = readFileText(path);
    if (!file.text) {
        std::fprintf(stderr, "obsidel: cannot read the style file \"%s\" (%s); %s\n", path.c_str(),
                     file.problem.c_str(), outcome);
        return false;
    }
    makeCurrent(readStyle(path));
    return true;
}

void useBuiltInStyle() { makeCurrent(readStyle("")); }

std::string shippedStylesFolder() {
    std::string folder = programFolder();
    const char separator = folder.find('\\') != std::string::npos ? '\\' : '/';
    return folder + separator + ".." + separator + "share" + separator + "obsidel" + separator + "styles";
}

std::string defaultStyleFile() {
    std::string folder = shippedStylesFolder();
    const char separator = folder.find('\\') != std::string::npos ? '\\' : '/';
    return folder + separator + "default.style";
}

bool loadStartupStyle(const std::string& requested) {
    if (!requested.empty())
        return loadStyleFile(requested, "the host does not start (name a style file that can be read; with none "
                                        "named, the default style is used)");
    std::string shipped = defaultStyleFile();
    if (isReadableFile(shipped)) return loadStyleFile(shipped);
    useBuiltInStyle();
    return true;
}

std::optional<std::string> styleValue(const std::string& stylePath, const std::string& key) {
    if (stylePath.empty()) return builtInValue(key);
    return readSetting(stylePath, key);
}

std::string currentStyleValue(const char* key) { return valueOrBuiltIn(current().path, key ? key : ""); }

COLORREF currentStyleColor(const char* key) { return colorOr(currentStyleValue(key), key); }

int currentStyleNumber(const char* key, int minimum, int maximum) {
    return numberOr(currentStyleValue(key), key, minimum, maximum);
}

COLORREF styleColor(const char* key, COLORREF fallback) {
    auto value = styleValue(current().path, key ? key : "");
    if (!value) return fallback;
    return parseColor(*value).value_or(fallback);
}

}  // namespace obsidel
