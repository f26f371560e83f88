// The plug-in window's behaviour.
#pragma once

#include <windows.h>

namespace vumira {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void applyWindowState();

}  // namespace vumira
