// Loading plug-in modules and driving their entry points.
#pragma once

#include <windows.h>

#include <string>

namespace obsidel {

// Loads the module and starts it (in the slit when `slit` is given and the
// module offers beginSlitPlugin). False, with a message, when the module
// cannot be loaded, lacks its entry points or reports a failed start.
bool loadPlugin(const std::string& path, HWND slit);
// Stops every started plug-in, last loaded first, and unloads it.
void unloadPlugins();

}  // namespace obsidel
