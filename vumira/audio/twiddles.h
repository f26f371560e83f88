// The twiddle factors of the radix-2 transform, made once for every length
// that the analysis transforms, when the module loads.
//
// A factor is the very expression that a butterfly would evaluate, cosine
// and sine of (m * 2pi) / n in double precision, only evaluated once per
// length rather than once per butterfly: a transform that reads the table
// gives the same bits as one that computes every factor afresh, at a
// fraction of the cost (the cosine and the sine were most of it).
#pragma once

#include <bit>
#include <cmath>

#include "base/limits.h"

namespace vumira {

inline constexpr double kTwoPi = 6.283185307179586;

struct Twiddle {
    double cosine;
    double sine;
};

// The factor of butterfly m (its offset j times the stage's stride) in an
// n-point transform: the angle is the product first, then the division by
// the whole n.
inline Twiddle twiddleOf(unsigned m, unsigned n) {
    const double theta = static_cast<double>(m) * kTwoPi / n;
    return {std::cos(theta), std::sin(theta)};
}

class TwiddleTable {
public:
    // The analysis reads each byte into one working value, two values a point.
    static constexpr unsigned kLongest = static_cast<unsigned>(kBandSlots) / 2;

    TwiddleTable() {
        for (unsigned n = 2; n <= kLongest; n *= 2)
            for (unsigned m = 0; m < n / 2; ++m) factors_[firstOf(n) + m] = twiddleOf(m, n);
    }

    // The n / 2 factors of an n-point transform, or null for a length
    // without a table (1, or longer than the analysis ever transforms).
    const Twiddle* of(unsigned n) const {
        return n >= 2 && n <= kLongest && std::has_single_bit(n) ? factors_ + firstOf(n) : nullptr;
    }

private:
    // Lengths in increasing order, each after the n / 2 - 1 factors of
    // the shorter ones.
    static constexpr unsigned firstOf(unsigned n) { return n / 2 - 1; }

    Twiddle factors_[kLongest - 1];
};

inline const TwiddleTable twiddleTable;

}  // namespace vumira
