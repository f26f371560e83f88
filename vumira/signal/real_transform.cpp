#include "signal/real_transform.h"

#include <bit>
#include <cmath>
#include <utility>

namespace vumira {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// In place over the points in bit-reversed order: radix-2 decimation in time.
void butterflies(double* z, unsigned m, const std::vector<double>& twiddles) {
    for (unsigned length = 2; length <= m; length *= 2) {
        const unsigned half = length / 2;
        const unsigned step = m / length;  // twiddle k of this stage is table entry k * step
        for (unsigned group = 0; group < m; group += length) {
            for (unsigned j = 0; j < half; ++j) {
                const double wr = twiddles[2 * j * step];
                const double wi = twiddles[2 * j * step + 1];
                double* a = z + 2 * (group + j);
                double* b = z + 2 * (group + j + half);
                const double br = b[0] * wr - b[1] * wi;
                const double bi = b[0] * wi + b[1] * wr;
                b[0] = a[0] - br;
                b[1] = a[1] - bi;
                a[0] += br;
                a[1] += bi;
            }
        }
    }
}

}  // namespace

bool prepareRealTransform(RealTransform& transform, unsigned points) {
    if (points < 4 || !std::has_single_bit(points)) return false;
    const unsigned m = points / 2;
    transform.points = points;
    transform.twiddles.assign(2 * (m / 2), 0.0);
    for (unsigned k = 0; k < m / 2; ++k) {
        const double theta = kTwoPi * k / m;
        transform.twiddles[2 * k] = std::cos(theta);
        transform.twiddles[2 * k + 1] = -std::sin(theta);
    }
    transform.splitTwiddles.assign(2 * m, 0.0);
    for (unsigned k = 0; k < m; ++k) {
        const double theta = kTwoPi * k / points;
        transform.splitTwiddles[2 * k] = std::cos(theta);
        transform.splitTwiddles[2 * k + 1] = -std::sin(theta);
    }
    const int bits = std::countr_zero(m);
    transform.reversed.assign(m, 0);
    for (unsigned i = 0; i < m; ++i) {
        unsigned r = 0;
        for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1u) << (bits - 1 - b);
        transform.reversed[i] = r;
    }
    transform.work.assign(2 * m, 0.0);
    return true;
}

void realPowerSpectrum(RealTransform& transform, const double* samples, double* powers) {
    const unsigned n = transform.points;
    const unsigned m = n / 2;
    double* z = transform.work.data();
    // Even samples as real parts, odd ones as imaginary parts, in bit-reversed order.
    for (unsigned i = 0; i < m; ++i) {
        const unsigned r = transform.reversed[i];
        z[2 * r] = samples[2 * i];
        z[2 * r + 1] = samples[2 * i + 1];
    }
    butterflies(z, m, transform.twiddles);

    // Z[k] = E[k] + i·O[k] with E and O the transforms of the even and odd
    // samples: E[k] = (Z[k] + conj Z[m-k]) / 2, O[k] = (Z[k] - conj Z[m-k]) / 2i,
    // and X[k] = E[k] + e^(-2πik/n) · O[k].
    for (unsigned k = 0; k < m; ++k) {
        const unsigned mirror = k == 0 ? 0 : m - k;
        const double zr = z[2 * k], zi = z[2 * k + 1];
        const double cr = z[2 * mirror], ci = -z[2 * mirror + 1];
        const double er = 0.5 * (zr + cr), ei = 0.5 * (zi + ci);
        const double dr = zr - cr, di = zi - ci;
        const double orr = 0.5 * di, oi = -0.5 * dr;  // (d) / 2i
        const double wr = transform.splitTwiddles[2 * k], wi = transform.splitTwiddles[2 * k + 1];
        const double xr = er + (orr * wr - oi * wi);
        const double xi = ei + (orr * wi + oi * wr);
        powers[k] = xr * xr + xi * xi;
        if (k == 0) {
            // X[n/2] = E[0] - O[0]: both are real for real samples.
            const double top = er - orr;
            powers[m] = top * top;
        }
    }
}

}  // namespace vumira
