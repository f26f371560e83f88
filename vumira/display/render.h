// Painting the spectrum through the back buffer.
#pragma once

namespace vumira {

void createBackBuffer();
void releaseBackBuffer();
void recreateBackBuffer();
// Rebuilds the back buffer when it no longer has the window's client size:
// a size change that brings no WM_SIZE (the size loop's steps, SetWindowPos
// answered without the default handling) would otherwise leave the frame
// drawn at the old size.
void followClientSize();
void paintSpectrum();

}  // namespace vumira
