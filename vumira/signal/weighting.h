// Frequency weighting of sound levels.
#pragma once

#include <cmath>

namespace vumira {

// The A-weighting of IEC 61672-1 in dB at `hz`: 0 dB at 1 kHz, -19.1 dB at
// 100 Hz, -2.5 dB at 10 kHz. Very low frequencies read very low.
inline double aWeightingDb(double hz) {
    const double f2 = hz * hz;
    const double ra = (12194.0 * 12194.0 * f2 * f2) /
                      ((f2 + 20.6 * 20.6) * std::sqrt((f2 + 107.7 * 107.7) * (f2 + 737.9 * 737.9)) *
                       (f2 + 12194.0 * 12194.0));
    if (!(ra > 0)) return -300.0;
    return 20.0 * std::log10(ra) + 2.0;
}

}  // namespace vumira
