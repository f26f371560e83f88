#include "menu_text.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace obsidel {
namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string header(const Menu& menu) {
    return "menu " + quoted(menu.title) + " id " + quoted(menu.id) + " flag " + std::to_string(menu.flag);
}

void appendEntries(const Menu& menu, int depth, std::string& out) {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    for (const auto& item : menu.items) {
        out += indent;
        switch (item->kind) {
        case MenuItem::Kind::Command:
            out += (item->checked ? "[x] " : "[ ] ") + quoted(item->text) + " -> " + quoted(item->command);
            break;
        case MenuItem::Kind::Integer:
            out += "[=] " + quoted(item->text) + " -> " + quoted(item->command) + " " + std::to_string(item->value) +
                   " in " + std::to_string(item->minimum) + ".." + std::to_string(item->maximum);
            break;
        case MenuItem::Kind::Separator:
            out += item->text.empty() ? "---" : "--- " + quoted(item->text);
            break;
        case MenuItem::Kind::Submenu:
            out += "> " + quoted(item->text) + " " + header(*item->submenu);
            break;
        }
        out += '\n';
        if (item->kind == MenuItem::Kind::Submenu) appendEntries(*item->submenu, depth + 1, out);
    }
}

// Depth first, in menu order: the first item whose texts spell the path;
// a submenu that the path names whole only when no item fits.
const MenuItem* find(const Menu& menu, const std::string& path, const MenuItem*& submenuNamed) {
    for (const auto& item : menu.items) {
        if (item->kind == MenuItem::Kind::Separator) continue;
        const std::string& text = item->text;
        if (path == text) {
            if (item->kind != MenuItem::Kind::Submenu) return item.get();
            if (!submenuNamed) submenuNamed = item.get();
        }
        if (item->kind == MenuItem::Kind::Submenu && path.size() > text.size() &&
            path.compare(0, text.size(), text) == 0 && path[text.size()] == '/') {
            if (const MenuItem* found = find(*item->submenu, path.substr(text.size() + 1), submenuNamed))
                return found;
        }
    }
    return nullptr;
}

const MenuItem* find(const Menu& menu, const std::string& path) {
    const MenuItem* submenuNamed = nullptr;
    const MenuItem* item = find(menu, path, submenuNamed);
    return item ? item : submenuNamed;
}

std::optional<int> parseInteger(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::size_t digits = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (digits == text.size()) return std::nullopt;
    for (std::size_t i = digits; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    errno = 0;
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

std::string menuText(const Menu& menu) {
    std::string out = header(menu) + '\n';
    appendEntries(menu, 1, out);
    return out;
}

std::optional<std::string> commandForPath(const Menu& menu, const std::string& path, std::optional<int> value,
                                          std::string& error) {
    const MenuItem* item = path.empty() ? nullptr : find(menu, path);
    if (!item) {
        error = "the menu " + quoted(menu.title) + " has no entry " + quoted(path);
        return std::nullopt;
    }
    switch (item->kind) {
    case MenuItem::Kind::Command:
        if (value) {
            error = quoted(path) + " takes no value";
            return std::nullopt;
        }
        return item->command;
    case MenuItem::Kind::Integer:
        if (!value) {
            error = quoted(path) + " needs a value from " + std::to_string(item->minimum) + " to " +
                    std::to_string(item->maximum) + " (PATH=VALUE)";
            return std::nullopt;
        }
        if (*value < item->minimum || *value > item->maximum) {
            error = "the value " + std::to_string(*value) + " of " + quoted(path) + " is not within " +
                    std::to_string(item->minimum) + ".." + std::to_string(item->maximum);
            return std::nullopt;
        }
        return item->command + " " + std::to_string(*value);
    case MenuItem::Kind::Submenu:
        error = quoted(path) + " is a submenu, not an item";
        return std::nullopt;
    case MenuItem::Kind::Separator:
        break;
    }
    error = quoted(path) + " is a separator";
    return std::nullopt;
}

void splitPathAndValue(const std::string& text, std::string& path, std::optional<int>& value) {
    auto equals = text.rfind('=');
    if (equals != std::string::npos) {
        if (auto number = parseInteger(text.substr(equals + 1))) {
            path = text.substr(0, equals);
            value = number;
            return;
        }
    }
    path = text;
    value.reset();
}

}  // namespace obsidel
