// Windows' own recording devices tell the host nothing while they run.
#include "host_window.h"

namespace obsidel {

void showDeviceNoticesAsStatusTexts() {}

}  // namespace obsidel
