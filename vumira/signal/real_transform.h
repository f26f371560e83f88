// The discrete Fourier transform of real samples, for the log-band spectrum:
// n real samples go through one complex transform of n / 2 points, with
// every twiddle factor and the bit-reversed order worked out once, when the
// transform is prepared, so that a frame's transform only multiplies and
// adds.
#pragma once

#include <vector>

namespace vumira {

struct RealTransform {
    unsigned points = 0;                // n, the real samples; 0 until prepared
    std::vector<double> twiddles;       // e^(-2πik/(n/2)) for k < n/4, as re, im pairs
    std::vector<double> splitTwiddles;  // e^(-2πik/n) for k < n/2, as re, im pairs
    std::vector<unsigned> reversed;     // the bit-reversed index of each of the n/2 points
    std::vector<double> work;           // n/2 complex points
};

// Makes the tables for n real samples, n a power of two from 4 up.
// Allocates: call it where waiting is allowed, never on the wave-in thread.
bool prepareRealTransform(RealTransform& transform, unsigned points);

// The squared magnitudes |X[k]|^2 of the transform of n samples, for
// k = 0 .. n/2 (n/2 + 1 values), X[k] = Σ x[j] · e^(-2πijk/n). Allocates nothing.
void realPowerSpectrum(RealTransform& transform, const double* samples, double* powers);

}  // namespace vumira
