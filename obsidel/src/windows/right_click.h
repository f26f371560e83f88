// Right clicks on plug-in windows under Windows' own window manager.
//
// A floating plug-in window answers its hit test with HTCAPTION, and the
// system's default handling of a right press on a caption (DefWindowProc's
// WM_NCRBUTTONDOWN) runs a loop of its own for the system menu that takes
// the release: the window never hears WM_NCRBUTTONUP, so its menu never
// opens. The host drops that press before it is dispatched, for the
// windows registered with it, so that the release arrives as it does on
// the other displays.
#pragma once

namespace obsidel {

// Installs the user-interface thread's message hook once; call on that thread.
void letPluginWindowsHearRightClicks();

}  // namespace obsidel
