// The term display's input parser, without a terminal: bytes as a terminal
// sends them (keys, SGR mouse reports) and the pointer and key events they
// make, written out by hand from the rules in term_input.h.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "display/term_input.h"

namespace subset::display::term {
// How a failed check shows an event.
void PrintTo(const InputEvent& event, std::ostream* out) {
    switch (event.kind) {
    case InputEvent::Pointer:
        *out << "pointer (" << event.x << ", " << event.y << ") buttons 0x" << std::hex << event.buttons << std::dec
             << " wheel " << event.wheel;
        break;
    case InputEvent::Key:
        *out << "key 0x" << std::hex << event.key << std::dec << (event.released ? " up" : " down");
        break;
    case InputEvent::Quit: *out << "quit"; break;
    }
}
}  // namespace subset::display::term

namespace {

using subset::display::term::HeldModifiers;
using subset::display::term::InputEvent;
using subset::display::term::parseInput;

InputEvent key(WORD virtualKey, bool released) { return InputEvent::keyChange(virtualKey, released); }
InputEvent pointer(int x, int y, DWORD buttons, int wheel = 0) { return InputEvent::pointerAt(x, y, buttons, wheel); }
InputEvent quit() { return InputEvent::quit(); }

// A key typed: pressed, then released.
std::vector<InputEvent> typed(std::initializer_list<WORD> keys) {
    std::vector<InputEvent> events;
    for (WORD virtualKey : keys) {
        events.push_back(key(virtualKey, false));
        events.push_back(key(virtualKey, true));
    }
    return events;
}

constexpr SIZE kScreen{80, 48};  // a terminal of 80 x 24 cells

TEST(TermInput, KeysAndMouseReportsBecomeEvents) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<InputEvent> events;
        std::string left = "";  // what waits for the next read
    };
    const Case cases[] = {
        {"a lower-case letter is its letter key", "a", typed({'A'})},
        {"capitals and digits are their keys", "Z7", typed({'Z', '7'})},
        {"space, Return (CR or LF), Tab and Backspace (DEL or BS)", " \r\n\t\x7f\x08",
         typed({VK_SPACE, VK_RETURN, VK_RETURN, VK_TAB, VK_BACK, VK_BACK})},
        {"q asks to quit", "q", {quit()}},
        {"other bytes are dropped", "!~\x01", {}},
        {"arrows, as CSI and SS3, with or without the parameter 1", "\x1b[A\x1b[B\x1bOC\x1b[1D",
         typed({VK_UP, VK_DOWN, VK_RIGHT, VK_LEFT})},
        {"Home and End, as CSI and SS3 finals and by number", "\x1b[H\x1bOF\x1b[1~\x1b[7~\x1b[4~\x1b[8~",
         typed({VK_HOME, VK_END, VK_HOME, VK_HOME, VK_END, VK_END})},
        {"Page Up and Page Down", "\x1b[5~\x1b[6~", typed({VK_PRIOR, VK_NEXT})},
        {"another escape sequence is dropped whole", "\x1b[15~\x1b[2;5Hx", typed({'X'})},
        {"Escape as the last byte is the Escape key", "\x1b", typed({VK_ESCAPE})},
        {"Escape before a key that starts no sequence (Alt with a key)", "\x1bx", typed({VK_ESCAPE, 'X'})},
        {"a sequence cut off at the end waits for the rest", "a\x1b[<0;5", typed({'A'}), "\x1b[<0;5"},
        {"a left press and release go to the upper pixel of the cell", "\x1b[<0;5;3M\x1b[<0;5;3m",
         {pointer(4, 4, MOUSEEVENTF_LEFTDOWN), pointer(4, 4, MOUSEEVENTF_LEFTUP)}},
        {"the middle press and the right release", "\x1b[<1;1;1M\x1b[<2;2;1m",
         {pointer(0, 0, MOUSEEVENTF_MIDDLEDOWN), pointer(1, 0, MOUSEEVENTF_RIGHTUP)}},
        {"a drag, and a move with no button held, only move", "\x1b[<32;10;2M\x1b[<35;11;2M",
         {pointer(9, 2, 0), pointer(10, 2, 0)}},
        {"the wheel away from the user and towards", "\x1b[<64;3;1M\x1b[<65;3;1M",
         {pointer(2, 0, 0, WHEEL_DELTA), pointer(2, 0, 0, -WHEEL_DELTA)}},
        {"the sideways wheel, a wheel release and 'no button' move nothing",
         "\x1b[<66;3;1M\x1b[<64;3;1m\x1b[<3;3;1M", {}},
        {"a report is kept on the screen", "\x1b[<0;0;0M\x1b[<0;99;99M",
         {pointer(0, 0, MOUSEEVENTF_LEFTDOWN), pointer(79, 47, MOUSEEVENTF_LEFTDOWN)}},
    };
    for (const Case& c : cases) {
        HeldModifiers held;
        std::vector<InputEvent> events;
        const size_t used = parseInput(c.bytes, kScreen, held, events);
        EXPECT_EQ(events, c.events) << c.name;
        EXPECT_EQ(c.bytes.substr(used), c.left) << c.name;
    }
}

// Shift (4), Alt (8) and Control (16) in a report's code: a change becomes a
// key event ahead of the report's own, and is remembered for the next one.
TEST(TermInput, ModifierBitsOfMouseReportsBecomeKeyChanges) {
    struct Case {
        const char* name;
        HeldModifiers before;
        std::string bytes;
        std::vector<InputEvent> events;
        HeldModifiers after;
    };
    const Case cases[] = {
        {"Shift with a left press", {}, "\x1b[<4;1;1M",
         {key(VK_SHIFT, false), pointer(0, 0, MOUSEEVENTF_LEFTDOWN)}, {true, false, false}},
        {"Shift let go, Alt and Control taken, in that order", {true, false, false}, "\x1b[<24;1;1m",
         {key(VK_SHIFT, true), key(VK_MENU, false), key(VK_CONTROL, false), pointer(0, 0, MOUSEEVENTF_LEFTUP)},
         {false, true, true}},
        {"held as before: no key change", {false, true, false}, "\x1b[<40;2;1M",
         {pointer(1, 0, 0)}, {false, true, false}},
        {"a change comes even with a report that moves nothing", {}, "\x1b[<70;1;1M",
         {key(VK_SHIFT, false)}, {true, false, false}},
    };
    for (const Case& c : cases) {
        HeldModifiers held = c.before;
        std::vector<InputEvent> events;
        parseInput(c.bytes, kScreen, held, events);
        EXPECT_EQ(events, c.events) << c.name;
        EXPECT_EQ(held.shift, c.after.shift) << c.name;
        EXPECT_EQ(held.alt, c.after.alt) << c.name;
        EXPECT_EQ(held.control, c.after.control) << c.name;
    }
}

// A report split across two reads makes the same events as one read. (A
// read that ends with ESC is taken for the Escape key, as a terminal writes
// each sequence whole; only a cut after that is waited for.)
TEST(TermInput, AReportSplitAcrossReadsMakesItsEventsOnce) {
    const std::string whole = "\x1b[<0;5;3M";
    for (size_t cut = 2; cut < whole.size(); ++cut) {
        HeldModifiers held;
        std::vector<InputEvent> events;
        std::string pending = whole.substr(0, cut);
        pending.erase(0, parseInput(pending, kScreen, held, events));
        EXPECT_TRUE(events.empty()) << "cut after " << cut << " bytes";
        pending += whole.substr(cut);
        pending.erase(0, parseInput(pending, kScreen, held, events));
        EXPECT_EQ(events, std::vector<InputEvent>{pointer(4, 4, MOUSEEVENTF_LEFTDOWN)}) << "cut after " << cut;
        EXPECT_TRUE(pending.empty()) << "cut after " << cut;
    }
}

}  // namespace
