// What must let go of a module before it is unloaded: a wave-in device
// whose callback lies in it (a device that a timed-out stop left open)
// must never call into its code afterwards. FreeLibrary asks here first.
#pragma once

#include <cstdint>

namespace subset::wavein {

// Stops every open device whose callback lies in the module loaded at
// `base` from calling it again, and waits (a few seconds at most) for a
// callback that runs now to return. False when one still runs: then the
// module must stay loaded.
bool releaseCallbacksInto(std::uintptr_t base);

}  // namespace subset::wavein
