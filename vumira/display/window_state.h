// Bringing the plug-in window's settings in force.
#pragma once

namespace vumira {

void applyWindowState();

}  // namespace vumira
