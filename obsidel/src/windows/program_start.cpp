// OBExecute and the fallback editor on Windows: the shell's own way of
// starting a program, with the argument text passed on as it is.
#include <windows.h>
#include <shellapi.h>

#include <obsidel/api.h>

#include "program_start.h"

namespace obsidel {

std::string fallbackEditor() { return "notepad.exe"; }

// Windows always has its desktop; a terminal editor named in VISUAL or
// EDITOR opens its own console window there.
EditorSurroundings currentEditorSurroundings() { return {false, true, ""}; }

}  // namespace obsidel

extern "C" HINSTANCE OBExecute(HWND owner, LPCSTR verb, LPCSTR program, LPCSTR arguments, LPCSTR directory,
                               int show, int noErrorMessages) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = noErrorMessages ? SEE_MASK_FLAG_NO_UI : 0;
    info.hwnd = owner;
    info.lpVerb = verb;
    info.lpFile = program;
    info.lpParameters = arguments;
    info.lpDirectory = directory;
    info.nShow = show;
    ShellExecuteExA(&info);
    return info.hInstApp;
}
