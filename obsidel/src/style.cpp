// The host's style: the built-in style, style files, colour texts, and the
// host API calls stylePath, ReadColor and GetSettingPtr.
#include "style.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "file_text.h"
#include "host_paths.h"
#include "settings_store.h"

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

// Frame widths beyond this are taken as this: a style is a look, and a
// border wider than any plug-in window only hides the window's content.
constexpr int kMaxFrameWidth = 100;

std::string lowercase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::string withoutColon(const std::string& key) {
    std::string bare = trimmed(key);
    if (!bare.empty() && bare.back() == ':') bare.pop_back();
    return trimmed(bare);
}

std::optional<std::string> builtInValue(const std::string& key) {
    std::string wanted = lowercase(withoutColon(key));
    for (const auto& entry : kBuiltInStyle) {
        if (lowercase(entry.key) == wanted) return std::string(entry.value);
    }
    return std::nullopt;
}

// The value of `key` in the file, or the built-in style's value.
std::string valueOrBuiltIn(const std::string& path, const char* key) {
    if (auto value = styleValue(path, key)) return *value;
    return builtInValue(key).value_or("");
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One to four hex digits scaled to 0..255, as X11 reads "rgb:" parts.
std::optional<int> scaledHexPart(const std::string& part) {
    if (part.empty() || part.size() > 4) return std::nullopt;
    long value = 0;
    for (char c : part) {
        int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + digit;
    }
    long maximum = (1L << (4 * part.size())) - 1;
    return static_cast<int>((value * 255 + maximum / 2) / maximum);
}

// Texture words, in any order and letter case: "flat", "raised" or
// "sunken" (the bevel); "solid" or "gradient"; the gradient's direction
// "horizontal", "vertical", "diagonal" or "crossdiagonal" (vertical when
// none is given); "bevel1" (the bevel on the edge) or "bevel2" (one pixel
// inside). A texture without "gradient" is solid; unknown words are skipped.
void parseTexture(const std::string& text, StyleItem& item) {
    item.texture = STYLE_FLAT;
    item.bevelStyle = BEVEL_FLAT;
    item.bevelPosition = 1;
    bool gradient = false;
    int direction = STYLE_VERTICAL;
    std::istringstream words(lowercase(text));
    std::string word;
    while (words >> word) {
        if (word == "flat") item.bevelStyle = BEVEL_FLAT;
        else if (word == "raised") item.bevelStyle = BEVEL_RAISED;
        else if (word == "sunken") item.bevelStyle = BEVEL_SUNKEN;
        else if (word == "solid") gradient = false;
        else if (word == "gradient") gradient = true;
        else if (word == "horizontal") direction = STYLE_HORIZONTAL;
        else if (word == "vertical") direction = STYLE_VERTICAL;
        else if (word == "diagonal") direction = STYLE_DIAGONAL;
        else if (word == "crossdiagonal") direction = STYLE_CROSSDIAGONAL;
        else if (word == "bevel1") item.bevelPosition = 1;
        else if (word == "bevel2") item.bevelPosition = 2;
    }
    if (gradient) item.texture = direction;
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

int fontWeightOf(const std::string& text) {
    std::string word = lowercase(trimmed(text));
    if (word == "bold") return FW_BOLD;
    if (word == "normal") return FW_NORMAL;
    auto number = parseInt(word);
    if (number && *number >= 1 && *number <= 1000) return *number;
    return FW_NORMAL;
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

std::optional<COLORREF> parseColor(const std::string& raw) {
    std::string text = lowercase(trimmed(raw));
    if (text.size() == 7 && text[0] == '#') {
        int channel[3];
        for (int i = 0; i < 3; ++i) {
            int high = hexDigit(text[1 + 2 * i]), low = hexDigit(text[2 + 2 * i]);
            if (high < 0 || low < 0) return std::nullopt;
            channel[i] = high * 16 + low;
        }
        return RGB(channel[0], channel[1], channel[2]);
    }
    if (text.size() == 4 && text[0] == '#') {
        int channel[3];
        for (int i = 0; i < 3; ++i) {
            int digit = hexDigit(text[1 + i]);
            if (digit < 0) return std::nullopt;
            channel[i] = digit * 17;  // "#f80" is "#ff8800"
        }
        return RGB(channel[0], channel[1], channel[2]);
    }
    if (text.rfind("rgb:", 0) == 0) {
        std::vector<std::string> parts;
        std::string rest = text.substr(4);
        size_t start = 0;
        for (;;) {
            size_t slash = rest.find('/', start);
            parts.push_back(rest.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
        if (parts.size() != 3) return std::nullopt;
        auto red = scaledHexPart(parts[0]), green = scaledHexPart(parts[1]), blue = scaledHexPart(parts[2]);
        if (!red || !green || !blue) return std::nullopt;
        return RGB(*red, *green, *blue);
    }
    return std::nullopt;
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

extern "C" {

LPCSTR stylePath(LPCSTR /*other: reserved, pass 0*/) {
    return obsidel::current().path.empty() ? "" : obsidel::currentPathText;
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
    obsidel::HostStyle& style = obsidel::current();
    switch (index) {
    case OB_STYLE_ITEM: return &style.toolbar;
    case OB_BORDER_WIDTH: return &style.borderWidth;
    case OB_BORDER_COLOR: return &style.borderColor;
    case OB_BEVEL_WIDTH: return &style.bevelWidth;
    default: return nullptr;
    }
}

}  // extern "C"
