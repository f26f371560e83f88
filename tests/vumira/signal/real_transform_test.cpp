// The log-band spectrum's real transform against a direct DFT, by
// signal-to-noise ratio, and the A-weighting against the standard's table.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "signal/real_transform.h"
#include "signal/weighting.h"

namespace {

TEST(RealTransform, PowersMatchADirectDftForEveryLength) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> sample(-1.0, 1.0);
    for (unsigned n : {4u, 8u, 64u, 512u, 4096u}) {
        SCOPED_TRACE(n);
        std::vector<double> x(n);
        for (double& v : x) v = sample(random);
        vumira::RealTransform transform;
        ASSERT_TRUE(vumira::prepareRealTransform(transform, n));
        std::vector<double> powers(n / 2 + 1);
        vumira::realPowerSpectrum(transform, x.data(), powers.data());
        double signal = 0, noise = 0;
        for (unsigned k = 0; k <= n / 2; ++k) {
            double re = 0, im = 0;
            for (unsigned j = 0; j < n; ++j) {
                const auto turn = static_cast<double>((static_cast<unsigned long long>(j) * k) % n);
                const double theta = 2 * 3.141592653589793 * turn / n;
                re += x[j] * std::cos(theta);
                im -= x[j] * std::sin(theta);
            }
            const double expected = re * re + im * im;
            signal += expected * expected;
            noise += (powers[k] - expected) * (powers[k] - expected);
        }
        EXPECT_GT(10 * std::log10(signal / noise), 200.0);
    }
}

TEST(RealTransform, OnlyPowersOfTwoFromFourArePrepared) {
    vumira::RealTransform transform;
    for (unsigned n : {0u, 1u, 2u, 3u, 6u, 1000u}) EXPECT_FALSE(vumira::prepareRealTransform(transform, n)) << n;
}

TEST(AWeighting, FollowsTheStandardsTable) {
    // IEC 61672-1: the table's values at the exact frequencies of its
    // nominal labels, 1000 · 10^(k/10) Hz (31.5 Hz is 31.62 Hz), given to 0.1 dB.
    struct Case {
        int k;  // tenths of a decade from 1 kHz
        double db;
    };
    const Case cases[] = {{-15, -39.4}, {-12, -26.2}, {-10, -19.1}, {-9, -16.1}, {-6, -8.6}, {-3, -3.2},
                          {0, 0.0},     {3, 1.2},     {6, 1.0},     {9, -1.1},   {10, -2.5}, {12, -6.6}};
    for (const Case& c : cases) {
        const double hz = 1000 * std::pow(10.0, c.k / 10.0);
        EXPECT_NEAR(vumira::aWeightingDb(hz), c.db, 0.051) << hz << " Hz";
    }
}

}  // namespace
