// The headless display: windows live in the window manager's memory only.
//
// Provides (inside the subset): subset::display::headlessBackend.
//
// Promises: opens everywhere; the screen is 1280 by 800 pixels unless the
// options ("headless:WIDTHxHEIGHT") or the VUMIRA_SCREEN variable (WxH)
// say otherwise, each side 1 to 16384 (a size that cannot be read is
// reported and the default kept; in the options it makes the open fail).
// Nothing is shown and no input arrives but SendInput's; the screen can be
// written as PNG (Win32SubsetWriteScreenPng).
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/backend.h"

namespace subset::display {
namespace {

constexpr SIZE kDefaultScreen{1280, 800};
// Read from any thread; written only while the back end opens.
std::atomic<LONG> screenWidth{kDefaultScreen.cx};
std::atomic<LONG> screenHeight{kDefaultScreen.cy};

bool parseSize(const char* text, SIZE& size) {
    if (!text) return false;
    char* end = nullptr;
    long width = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char* heightText = end + 1;
    long height = std::strtol(heightText, &end, 10);
    if (end == heightText || *end != '\0') return false;
    if (width < 1 || height < 1 || width > 16384 || height > 16384) return false;
    size = SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
    return true;
}

bool openHeadless(const char* options, bool /*chosen*/, const Sink& /*sink*/) {
    SIZE size = kDefaultScreen;
    if (options && options[0]) {
        if (!parseSize(options, size)) {
            std::fprintf(stderr, "win32subset: headless screen size \"%s\" is not WIDTHxHEIGHT (1..16384)\n", options);
            return false;
        }
    } else {
        const char* variable = std::getenv("VUMIRA_SCREEN");
        if (variable && variable[0] && !parseSize(variable, size)) {
            std::fprintf(stderr, "win32subset: VUMIRA_SCREEN=\"%s\" is not WIDTHxHEIGHT (1..16384); using %ldx%ld\n",
                         variable, static_cast<long>(kDefaultScreen.cx), static_cast<long>(kDefaultScreen.cy));
            size = kDefaultScreen;
        }
    }
    screenWidth = size.cx;
    screenHeight = size.cy;
    return true;
}

void closeHeadless() {}
SIZE headlessScreenSize() { return SIZE{screenWidth.load(), screenHeight.load()}; }

// Each window needs a record of its own; there is nothing to keep in it.
struct HeadlessWindow {
    HWND window;
};

void* createHeadlessWindow(HWND window, const RECT&, DWORD, DWORD) { return new HeadlessWindow{window}; }
void destroyHeadlessWindow(void* native) { delete static_cast<HeadlessWindow*>(native); }
void placeHeadlessWindow(void*, const RECT&) {}
void showHeadlessWindow(void*, bool) {}
void stackHeadlessWindows(void* const*, const bool*, int) {}
void layerHeadlessWindow(void*, bool, COLORREF, BYTE, DWORD) {}
void titleHeadlessWindow(void*, const char*) {}

}  // namespace

const Backend headlessBackend = {
    "headless",
    WIN32SUBSET_SCREEN_NONE,
    "nothing",
    [] { return std::string("windows in memory only (headless)"); },
    [] { return std::string(); },  // it always opens
    openHeadless,
    closeHeadless,
    headlessScreenSize,
    createHeadlessWindow,
    destroyHeadlessWindow,
    placeHeadlessWindow,
    showHeadlessWindow,
    stackHeadlessWindows,
    layerHeadlessWindow,
    titleHeadlessWindow,
    nullptr,  // present: nothing is shown
    nullptr,  // pumpEvents: input comes only from SendInput
    nullptr,  // grabInput: no input but SendInput's to grab
    nullptr,  // setSticky: there are no desktops
    nullptr,  // setTextOverlay: nothing is shown
};

}  // namespace subset::display
