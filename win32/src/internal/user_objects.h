// What the window manager tells the rest of the subset about its objects.
#pragma once

namespace subset {

// The number of live windows: GetGuiResources(GR_USEROBJECTS) reports it.
int userObjectCount();

}  // namespace subset
