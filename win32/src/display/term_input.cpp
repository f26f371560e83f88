// The term display's input parser.
//
// Provides (inside the subset): subset::display::term::parseInput.
//
// Promises what term_input.h says, without I/O or state of its own.
#include "display/term_input.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace subset::display::term {
namespace {

void keyPress(std::vector<InputEvent>& events, WORD key) {
    events.push_back(InputEvent::keyChange(key, false));
    events.push_back(InputEvent::keyChange(key, true));
}

void syncModifiers(HeldModifiers& held, int code, std::vector<InputEvent>& events) {
    struct Modifier {
        bool HeldModifiers::*down;
        int bit;
        WORD key;
    };
    static const Modifier modifiers[] = {{&HeldModifiers::shift, 4, VK_SHIFT},
                                         {&HeldModifiers::alt, 8, VK_MENU},
                                         {&HeldModifiers::control, 16, VK_CONTROL}};
    for (const Modifier& modifier : modifiers) {
        const bool down = (code & modifier.bit) != 0;
        if (held.*modifier.down == down) continue;
        held.*modifier.down = down;
        events.push_back(InputEvent::keyChange(modifier.key, !down));
    }
}

void takeMouse(HeldModifiers& held, SIZE screen, int code, int column, int row, bool release,
               std::vector<InputEvent>& events) {
    syncModifiers(held, code, events);
    const int x = std::clamp(column - 1, 0, std::max<int>(screen.cx - 1, 0));
    const int y = std::clamp(2 * (row - 1), 0, std::max<int>(screen.cy - 1, 0));
    InputEvent event = InputEvent::pointerAt(x, y, 0, 0);
    if (code & 64) {
        if (release) return;
        const int button = code & 3;
        if (button > 1) return;  // sideways
        event.wheel = button == 0 ? WHEEL_DELTA : -WHEEL_DELTA;
    } else if (!(code & 32)) {
        static const DWORD downs[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_RIGHTDOWN};
        static const DWORD ups[] = {MOUSEEVENTF_LEFTUP, MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_RIGHTUP};
        const int button = code & 3;
        if (button == 3) return;
        event.buttons = release ? ups[button] : downs[button];
    }
    events.push_back(event);
}

// A plain byte: the key it stands for, if any.
void takeByte(unsigned char c, std::vector<InputEvent>& events) {
    if (c == 'q') {
        events.push_back(InputEvent::quit());
    } else if (c >= 'a' && c <= 'z') {
        keyPress(events, static_cast<WORD>(c - 'a' + 'A'));
    } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        keyPress(events, c);
    } else if (c == ' ') {
        keyPress(events, VK_SPACE);
    } else if (c == '\r' || c == '\n') {
        keyPress(events, VK_RETURN);
    } else if (c == '\t') {
        keyPress(events, VK_TAB);
    } else if (c == 0x7F || c == 0x08) {
        keyPress(events, VK_BACK);
    }
}

}  // namespace

size_t parseInput(std::string_view bytes, SIZE screen, HeldModifiers& held, std::vector<InputEvent>& events) {
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c != 0x1B) {
            takeByte(c, events);
            ++i;
            continue;
        }
        if (i + 1 == n) {  // a lone Escape: sequences arrive whole
            keyPress(events, VK_ESCAPE);
            ++i;
            continue;
        }
        const char kind = bytes[i + 1];
        if (kind != '[' && kind != 'O') {
            keyPress(events, VK_ESCAPE);  // Escape, or Alt with a key
            ++i;
            continue;
        }
        size_t end = i + 2;
        while (end < n && !(bytes[end] >= 0x40 && bytes[end] <= 0x7E)) ++end;
        if (end >= n) break;  // the rest comes with the next read
        const std::string body(bytes.substr(i + 2, end - i - 2));
        const char final = bytes[end];
        int code = 0, column = 0, row = 0;
        if (kind == '[' && !body.empty() && body[0] == '<' && (final == 'M' || final == 'm') &&
            std::sscanf(body.c_str() + 1, "%d;%d;%d", &code, &column, &row) == 3) {
            takeMouse(held, screen, code, column, row, final == 'm', events);
        } else if ((body.empty() || body == "1") && final != '~') {
            static const char finals[] = "ABCDHF";
            static const WORD keys[] = {VK_UP, VK_DOWN, VK_RIGHT, VK_LEFT, VK_HOME, VK_END};
            if (const char* found = std::strchr(finals, final); found && *found) keyPress(events, keys[found - finals]);
        } else if (kind == '[' && final == '~') {
            // The editing keys by number, as xterm and the Linux console send them.
            struct Numbered {
                const char* number;
                WORD key;
            };
            static const Numbered numbered[] = {{"1", VK_HOME}, {"7", VK_HOME}, {"4", VK_END},
                                                {"8", VK_END},  {"5", VK_PRIOR}, {"6", VK_NEXT}};
            for (const Numbered& entry : numbered)
                if (body == entry.number) keyPress(events, entry.key);
        }
        i = end + 1;
    }
    return i;
}

}  // namespace subset::display::term
