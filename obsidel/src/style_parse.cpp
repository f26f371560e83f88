// The style file's value words: colours, textures, font weights.
#include "style_parse.h"

#include <cctype>
#include <optional>
#include <sstream>
#include <vector>

#include "settings_store.h"

namespace obsidel {
namespace {

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

}  // namespace

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

int fontWeightOf(const std::string& text) {
    std::string word = lowercase(trimmed(text));
    if (word == "bold") return FW_BOLD;
    if (word == "normal") return FW_NORMAL;
    auto number = parseInt(word);
    if (number && *number >= 1 && *number <= 1000) return *number;
    return FW_NORMAL;
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

}  // namespace obsidel
