// The host's style reader under random style files: colours, textures,
// numbers and font faces. The file becomes the current style; the record
// must then hold values within its bounds, and the style's own painting
// (its font, its gradient with bevel and border) must take it. A style path
// that is a folder or names no file is then refused, the style kept.
#include <windows.h>

#include <obsidel/api.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fuzz_input.h"
#include "scratch.h"
#include "style.h"

namespace {

[[noreturn]] void fault(const char* what, long value) { fuzzing::fault("style reader", what, std::to_string(value)); }

void expectWithin(const char* what, long value, long low, long high) {
    if (value < low || value > high) fault(what, value);
}

const std::string& fuzzedStylePath() {
    static const std::string path = (fuzzing::scratchFolder() / "fuzzed.style").string();
    return path;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A "#rrggbb" text that parses must give exactly its three bytes.
void checkSixDigitColour(const std::string& value) {
    auto colour = obsidel::parseColor(value);
    if (!colour) return;
    std::size_t hash = value.find('#');
    if (hash == std::string::npos || hash + 7 > value.size()) return;
    const char* digits = value.c_str() + hash + 1;
    for (int i = 0; i < 6; ++i)
        if (hexDigit(digits[i]) < 0) return;
    if (value.find_first_not_of(" \t\r\n\f\v", hash + 7) != std::string::npos) return;
    auto channel = [&](int i) { return hexDigit(digits[2 * i]) * 16 + hexDigit(digits[2 * i + 1]); };
    if (*colour != RGB(channel(0), channel(1), channel(2))) fault("a #rrggbb colour reads as another", long(*colour));
}

void paintWithTheStyle(StyleItem item, int width, int height, bool border) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 64);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT rect{0, 0, width, height};
    MakeStyleGradient(memory, &rect, &item, border ? 1 : 0);
    if (HFONT font = CreateStyleFont(&item)) {
        HGDIOBJ oldFont = SelectObject(memory, font);
        TextOutA(memory, 0, 0, item.fontFace, int(std::strlen(item.fontFace)));
        SelectObject(memory, oldFont);
        DeleteObject(font);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("VUMIRA_DISPLAY", "headless", 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    const int width = int(input.inRange(0, 80)) - 8;
    const int height = int(input.inRange(0, 80)) - 8;
    const bool border = input.flag();
    const std::string text = input.rest();
    {
        std::ofstream out(fuzzedStylePath(), std::ios::binary | std::ios::trunc);
        out << text;
    }
    if (!obsidel::loadStyleFile(fuzzedStylePath())) fault("a style file that exists was not read", 0);

    const obsidel::HostStyle& style = obsidel::currentStyle();
    const StyleItem& item = style.toolbar;
    expectWithin("texture", item.texture, STYLE_FLAT, STYLE_CROSSDIAGONAL);
    expectWithin("bevel style", item.bevelStyle, BEVEL_FLAT, BEVEL_SUNKEN);
    expectWithin("bevel position", item.bevelPosition, 1, 2);
    expectWithin("font height", item.fontHeight, 1, 200);
    expectWithin("font weight", item.fontWeight, 1, 1000);
    expectWithin("border width", style.borderWidth, 0, 100);
    expectWithin("bevel width", style.bevelWidth, 0, 100);
    if (!std::memchr(item.fontFace, '\0', sizeof item.fontFace)) fault("the font face has no end", 0);
    if (fuzzedStylePath() != ::stylePath(nullptr)) fault("stylePath names another file", 0);

    // Every line read as a key and its value as a colour.
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        ReadColor(fuzzedStylePath().c_str(), line.substr(0, colon).c_str(), line.substr(colon + 1).c_str());
        checkSixDigitColour(line.substr(colon + 1));
        obsidel::styleColor(line.substr(0, colon).c_str(), 0);
    }

    paintWithTheStyle(item, width, height, border);

    static const std::string folder = [] {
        const auto made = fuzzing::scratchFolder() / "folder.style";
        std::filesystem::create_directories(made);
        return made.string();
    }();
    const std::string missing = (fuzzing::scratchFolder() / "missing.style").string();
    for (const std::string& refused : {folder, missing}) {
        if (obsidel::loadStyleFile(refused, "kept")) fault("a folder or a missing file was read as a style", 0);
        if (fuzzedStylePath() != ::stylePath(nullptr)) fault("a refused style file replaced the style", 0);
    }
    return 0;
}
