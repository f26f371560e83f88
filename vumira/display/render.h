// Painting the spectrum through the back buffer.
#pragma once

namespace vumira {

void createBackBuffer();
void releaseBackBuffer();
void recreateBackBuffer();
void paintSpectrum();

}  // namespace vumira
