// The subset's recording devices' notices as the host's status texts.
#include <win32subset.h>

#include <string>

#include "host_window.h"

namespace obsidel {

void showDeviceNoticesAsStatusTexts() {
    Win32SubsetSetWaveInNoticeListener([](const char* text) { postStatusText(std::string("wave-in: ") + text); });
}

}  // namespace obsidel
