// The configuration menu, built through the host on every right click and
// after every toggle.
#pragma once

namespace vumira {

// flag: 1 when built for a right click, 0 when rebuilt after a toggle.
void buildConfigMenu(unsigned char flag);
int powerOfTwo(int n);

}  // namespace vumira
