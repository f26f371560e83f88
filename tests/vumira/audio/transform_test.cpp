// The radix-2 transform against the discrete Fourier transform written out
// from its definition, and its two stages on their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "audio/spectrum.h"

namespace {

using Exact = std::complex<long double>;

// (1/n) * sum over j of x_j * e^(-2 pi i jk/n), in long double.
std::vector<Exact> directTransform(const std::vector<double>& points, unsigned n) {
    const long double pi = std::acos(-1.0L);
    std::vector<Exact> result(n);
    for (unsigned k = 0; k < n; ++k) {
        Exact sum = 0;
        for (unsigned j = 0; j < n; ++j) {
            const long double angle = -2.0L * pi * static_cast<long double>((static_cast<unsigned long>(j) * k) % n) / n;
            sum += Exact(points[2 * j], points[2 * j + 1]) * Exact(std::cos(angle), std::sin(angle));
        }
        result[k] = sum / static_cast<long double>(n);
    }
    return result;
}

// Signal-to-noise ratio in decibels of `got` (2n doubles, point k at 2k)
// against `expected`, with the points taken at `position(k)`.
template <typename Position>
double snrDecibels(const std::vector<double>& got, const std::vector<Exact>& expected, Position position) {
    long double signal = 0, noise = 0;
    for (unsigned k = 0; k < expected.size(); ++k) {
        const unsigned at = position(k);
        const Exact error = Exact(got[2 * at], got[2 * at + 1]) - expected[k];
        signal += std::norm(expected[k]);
        noise += std::norm(error);
    }
    if (noise == 0) return 400.0;
    return static_cast<double>(10.0L * std::log10(signal / noise));
}

unsigned bitReversed(unsigned index, unsigned n) {
    unsigned reversed = 0;
    for (unsigned bit = 1; bit < n; bit <<= 1) {
        reversed = (reversed << 1) | (index & 1u);
        index >>= 1;
    }
    return reversed;
}

std::vector<double> randomPoints(unsigned n, std::mt19937& random, bool byteMagnitudes) {
    std::uniform_real_distribution<double> real(-1000.0, 1000.0);
    std::uniform_int_distribution<int> magnitude(0, 128);
    std::vector<double> points(2 * n);
    for (double& value : points) value = byteMagnitudes ? magnitude(random) : real(random);
    return points;
}

// Double precision with fresh twiddles reaches about 280 dB; a wrong sign,
// twiddle or order of any point falls to a few dB.
constexpr double kMinimumSnr = 250.0;

TEST(Transform, IsTheDirectTransformDividedByNForEveryPowerOfTwoUpTo256) {
    std::mt19937 random(20261209);
    for (bool byteMagnitudes : {false, true}) {
        for (unsigned n = 1; n <= 256; n *= 2) {
            SCOPED_TRACE(testing::Message() << "n = " << n << (byteMagnitudes ? ", byte magnitudes" : ", reals"));
            std::vector<double> points = randomPoints(n, random, byteMagnitudes);
            const std::vector<Exact> expected = directTransform(points, n);
            vumira::transformSpectrum(points.data(), n);
            EXPECT_GT(snrDecibels(points, expected, [](unsigned k) { return k; }), kMinimumSnr);
        }
    }
}

TEST(Transform, OfNoPointsLeavesTheArrayAlone) {
    std::vector<double> points{3.0, -4.0};
    vumira::transformSpectrum(points.data(), 0);
    EXPECT_EQ(points, (std::vector<double>{3.0, -4.0}));
}

TEST(Transform, ButterfliesLeaveTheUndividedTransformInBitReversedOrder) {
    std::mt19937 random(7);
    for (unsigned n : {2u, 16u, 128u}) {
        SCOPED_TRACE(testing::Message() << "n = " << n);
        std::vector<double> points = randomPoints(n, random, false);
        std::vector<Exact> expected = directTransform(points, n);
        for (Exact& value : expected) value *= static_cast<long double>(n);
        vumira::difButterflies(points.data(), n);
        EXPECT_GT(snrDecibels(points, expected, [n](unsigned k) { return bitReversed(k, n); }), kMinimumSnr);
    }
}

TEST(Transform, PermutationPutsEightPointsInBitReversedOrder) {
    std::vector<double> points;
    for (int k = 0; k < 8; ++k) {
        points.push_back(k);
        points.push_back(-k);
    }
    vumira::bitReversePermute(points.data(), 8);
    const std::vector<double> expected{0, 0, 4, -4, 2, -2, 6, -6, 1, -1, 5, -5, 3, -3, 7, -7};
    EXPECT_EQ(points, expected);
}

// A count that is not a power of two never comes from the analysis; the
// permutation must still end, and lose or duplicate no point.
TEST(Transform, PermutationOfOtherCountsEndsAndKeepsEveryPoint) {
    for (unsigned n : {3u, 5u, 6u, 7u, 12u, 100u, 255u}) {
        SCOPED_TRACE(testing::Message() << "n = " << n);
        std::vector<double> points;
        for (unsigned k = 0; k < n; ++k) {
            points.push_back(k);
            points.push_back(1000.0 + k);
        }
        vumira::bitReversePermute(points.data(), n);
        std::vector<double> reals;
        for (unsigned k = 0; k < n; ++k) {
            EXPECT_EQ(points[2 * k + 1], 1000.0 + points[2 * k]) << "point " << k << " was split";
            reals.push_back(points[2 * k]);
        }
        std::sort(reals.begin(), reals.end());
        for (unsigned k = 0; k < n; ++k) EXPECT_EQ(reals[k], k);
    }
}

}  // namespace
