// The spectrum transform and the bar and peak dynamics.
#pragma once

namespace vumira {

// Transforms `count` recorded bytes (1 to 512) into bars and peaks and asks
// for a repaint at most once per frame interval.
void analyseBuffer(const unsigned char* bytes, unsigned count);

// In place over n complex points (2n doubles): the forward discrete Fourier
// transform divided by n. n is 0, 1 or a power of two.
void transformSpectrum(double* points, unsigned n);
void difButterflies(double* points, unsigned n);
void bitReversePermute(double* points, unsigned n);

}  // namespace vumira
