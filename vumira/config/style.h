// The host's style as the plug-in uses it, and the four colour presets.
#pragma once

namespace vumira {

void readStyle();
void applyColorPreset(int preset);  // 1 to 4

}  // namespace vumira
