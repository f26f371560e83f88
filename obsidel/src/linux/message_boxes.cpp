// The subset leaves message boxes to the program that has a look for them:
// the host hands them its own box window.
#include <win32subset.h>

#include "message_box_window.h"
#include "platform.h"

namespace obsidel {

void showMessageBoxesAsWindows() {
    if (displayShowsWindows()) Win32SubsetSetMessageBoxPresenter(showMessageBox);
}

}  // namespace obsidel
