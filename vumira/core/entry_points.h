// The five functions that the host calls; the only exports of the module.
#pragma once

#include <windows.h>

extern "C" {
int beginPlugin(HINSTANCE module);
int beginPluginEx(HINSTANCE module, HWND slit);
int beginSlitPlugin(HINSTANCE module, HWND slit);
void endPlugin(HINSTANCE module);
LPCSTR pluginInfo(int field);
}
