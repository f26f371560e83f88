// Locating the rc file and reading every setting from it.
#pragma once

namespace vumira {

// Searches for the rc file anew and overwrites every setting with its stored
// value or default, applying the loader's clamps and fix-ups.
void loadSettings();

}  // namespace vumira
