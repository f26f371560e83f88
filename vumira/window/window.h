// The plug-in window's procedure: what each of its messages does.
#pragma once

#include <windows.h>

namespace vumira {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vumira
