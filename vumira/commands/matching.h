// The three rules by which a command text names a command: the whole text
// (any letter case), its start (any letter case), or a part of it (exact).
// Usable in constant expressions, so that a table can prove at compile time
// that no row's rule takes another row's command.
#pragma once

#include <cstddef>

namespace vumira {

constexpr char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr bool equalsIgnoringCase(const char* text, const char* name) {
    for (; *text && *name; ++text, ++name)
        if (upperAscii(*text) != upperAscii(*name)) return false;
    return *text == *name;
}

constexpr bool startsWithIgnoringCase(const char* text, const char* name, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!text[i] || upperAscii(text[i]) != upperAscii(name[i])) return false;
    }
    return true;
}

constexpr std::size_t textLength(const char* text) {
    std::size_t length = 0;
    while (text[length]) ++length;
    return length;
}

constexpr bool contains(const char* text, const char* name) {
    for (; *text; ++text) {
        std::size_t i = 0;
        while (name[i] && text[i] == name[i]) ++i;
        if (!name[i]) return true;
    }
    return !*name;
}

}  // namespace vumira
