// Window classes.
//
// Provides: RegisterClassA, UnregisterClassA.
//
// Promises: class names compare without regard to letter case; a name can
// be registered once per module instance (a second registration fails and
// returns 0); a class cannot be unregistered while windows of it exist; the
// atom returned is non-zero and stays the class's until it is unregistered.
// CreateWindowExA finds a class by name, preferring the one registered with
// the instance it was given.
#include <windows.h>

#include <strings.h>

#include <algorithm>

#include "user/window_manager.h"

using namespace subset::user;

namespace subset::user {

std::shared_ptr<WindowClass> findClassLocked(const char* name, HINSTANCE instance) {
    if (!name) return nullptr;
    std::shared_ptr<WindowClass> anyInstance;
    for (auto& windowClass : state().classes) {
        if (!windowClass || strcasecmp(windowClass->name.c_str(), name) != 0) continue;
        if (windowClass->instance == instance) return windowClass;
        if (!anyInstance) anyInstance = windowClass;
    }
    return anyInstance;
}

}  // namespace subset::user

namespace {

// Atoms of registered classes: 0xC000 and up, as the real system's.
ATOM atomFor(const WindowClass& windowClass) {
    auto& classes = state().classes;
    for (size_t i = 0; i < classes.size(); ++i)
        if (classes[i].get() == &windowClass) return static_cast<ATOM>(0xC000 + i);
    return 0;
}

}  // namespace

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* info) {
    if (!info || !info->lpszClassName || !info->lpszClassName[0] || !info->lpfnWndProc) return 0;
    if (reinterpret_cast<uintptr_t>(info->lpszClassName) < 0x10000) return 0;  // atoms as names are not kept
    auto lock = lockUser();
    for (auto& existing : state().classes)
        if (existing && existing->instance == info->hInstance && strcasecmp(existing->name.c_str(), info->lpszClassName) == 0)
            return 0;
    auto windowClass = std::make_shared<WindowClass>();
    windowClass->name = info->lpszClassName;
    windowClass->style = info->style;
    windowClass->proc = info->lpfnWndProc;
    windowClass->instance = info->hInstance;
    windowClass->cursor = info->hCursor;
    windowClass->background = info->hbrBackground;
    windowClass->windowExtra = std::max(info->cbWndExtra, 0);
    // Reuse a free slot so atoms stay small and stable.
    auto& classes = state().classes;
    for (auto& slot : classes) {
        if (!slot) {
            slot = windowClass;
            return atomFor(*windowClass);
        }
    }
    classes.push_back(windowClass);
    return atomFor(*windowClass);
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE instance) {
    if (!name) return FALSE;
    auto lock = lockUser();
    for (auto& slot : state().classes) {
        if (!slot || slot->instance != instance || strcasecmp(slot->name.c_str(), name) != 0) continue;
        if (slot->windowCount > 0) return FALSE;
        slot.reset();
        return TRUE;
    }
    return FALSE;
}

}  // extern "C"
