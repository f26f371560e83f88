// The term display's input: bytes read from the terminal taken apart into
// pointer and key events. Pure code: no I/O; the only state is what the
// caller keeps and passes in.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace subset::display::term {

struct InputEvent {
    enum Kind { Pointer, Key, Quit } kind = Pointer;
    // Pointer: a screen pixel, MOUSEEVENTF_* button changes, WHEEL_DELTA units.
    int x = 0, y = 0;
    DWORD buttons = 0;
    int wheel = 0;
    // Key: a virtual key, pressed or released.
    WORD key = 0;
    bool released = false;

    bool operator==(const InputEvent&) const = default;

    static InputEvent pointerAt(int atX, int atY, DWORD buttonChanges, int wheelDelta = 0) {
        InputEvent event;
        event.x = atX;
        event.y = atY;
        event.buttons = buttonChanges;
        event.wheel = wheelDelta;
        return event;
    }
    static InputEvent keyChange(WORD virtualKey, bool isReleased) {
        InputEvent event;
        event.kind = Key;
        event.key = virtualKey;
        event.released = isReleased;
        return event;
    }
    static InputEvent quit() {
        InputEvent event;
        event.kind = Quit;
        return event;
    }
};

// Shift, Alt and Control as the events so far have left them; mouse reports
// carry their state, and a change becomes a key event.
struct HeldModifiers {
    bool shift = false, alt = false, control = false;
};

// Takes the complete sequences at the front of `bytes` apart into `events`
// and returns how many bytes they used; an escape sequence cut off at the
// end is left for the next read.
//
//  - SGR mouse reports "ESC [ < code ; column ; row M" (press, drag, wheel)
//    or "... m" (release), columns and rows from 1: the pointer goes to the
//    upper pixel of the cell, (column - 1, 2 * (row - 1)), kept on `screen`.
//    Code bits: 0-1 the button (0 left, 1 middle, 2 right, 3 none), 4 Shift,
//    8 Alt, 16 Control, 32 motion (a move without button change), 64 the
//    wheel (button 0 away from the user, +WHEEL_DELTA; 1 towards, -WHEEL_DELTA;
//    sideways and releases ignored). A change of a modifier bit comes first,
//    as a key event, even for a report that moves nothing.
//  - "ESC [ A/B/C/D/H/F" and "ESC O A/B/C/D/H/F" (also with parameter 1)
//    are the arrows up, down, right, left, Home and End; "ESC [ 1 ~" and
//    "ESC [ 7 ~" Home, "ESC [ 4 ~" and "ESC [ 8 ~" End, "ESC [ 5 ~" Page Up
//    and "ESC [ 6 ~" Page Down; other escape sequences are dropped whole.
//  - Escape alone (last byte, or not followed by '[' or 'O') is Escape.
//  - "q" is Quit; a-z and A-Z are the letter keys A-Z, 0-9 the digit keys;
//    space, Return (CR or LF), Tab and Backspace (DEL or BS) their keys.
//    Each key is a press followed by a release. Other bytes are dropped.
size_t parseInput(std::string_view bytes, SIZE screen, HeldModifiers& held, std::vector<InputEvent>& events);

}  // namespace subset::display::term
