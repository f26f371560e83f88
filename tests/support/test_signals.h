// Generated sound for the spectrum tests: sines at a level in dB of full
// scale, periodic noise of a chosen slope, and a 16-bit mono WAV file to
// record them from.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace testsignals {

constexpr double kPi = 3.141592653589793;

// Full scale is 1.0; the file holds round(x · 32768) kept within 16 bits,
// so a sine of peak 1.0 reads 32767 at its crest (-0.0003 dB).
inline void writeWave16(const std::string& path, int rate, const std::vector<double>& samples) {
    auto put32 = [](std::string& out, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto put16 = [](std::string& out, std::uint16_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8);
    };
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string out = "RIFF";
    put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, static_cast<std::uint32_t>(rate));
    put32(out, static_cast<std::uint32_t>(rate * 2));
    put16(out, 2);
    put16(out, 16);
    out += "data";
    put32(out, dataBytes);
    for (double x : samples) {
        const long value = std::clamp(std::lround(x * 32768.0), -32768L, 32767L);
        put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
    }
    std::ofstream(path, std::ios::binary) << out;
}

inline double amplitudeOf(double dbfs) { return std::pow(10.0, dbfs / 20.0); }

// A sine that loops without a seam: its frequency is moved (by at most
// half a cycle over the file) to a whole number of cycles in the file.
inline std::vector<double> sine(double hz, double dbfs, int rate, double seconds) {
    const std::size_t count = static_cast<std::size_t>(rate * seconds);
    const double cycles = std::round(hz * static_cast<double>(count) / rate);
    std::vector<double> out(count);
    const double a = std::min(amplitudeOf(dbfs), 32767.0 / 32768.0);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = a * std::sin(2 * kPi * cycles * static_cast<double>(i) / static_cast<double>(count));
    return out;
}

// An in-place radix-2 transform of the generator's own, so the signals do
// not depend on the code under test. sign -1: forward, +1: inverse (unscaled).
inline void transform(std::vector<std::complex<double>>& z, int sign) {
    const std::size_t n = z.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(z[i], z[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const std::complex<double> step = std::polar(1.0, sign * 2 * kPi / static_cast<double>(length));
        for (std::size_t start = 0; start < n; start += length) {
            std::complex<double> w = 1;
            for (std::size_t k = 0; k < length / 2; ++k, w *= step) {
                const std::complex<double> a = z[start + k], b = z[start + k + length / 2] * w;
                z[start + k] = a + b;
                z[start + k + length / 2] = a - b;
            }
        }
    }
}

// Noise that repeats every `period` samples (a power of two), so that the
// looping file has no seam: every frequency step rate / period from lowHz to
// highHz at the same power (slope 0: white) or at a power falling as 1/f
// (slope -1: pink, equal power per octave), random phases, scaled to an RMS
// level of `rmsDbfs`. The power per band is therefore exact, not a random
// draw: only the analysis's own spread is measured.
inline std::vector<double> periodicNoise(int slope, double lowHz, double highHz, double rmsDbfs, int rate,
                                         std::size_t period, unsigned seed = 7) {
    std::vector<std::complex<double>> spectrum(period);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> phase(0, 2 * kPi);
    for (std::size_t k = 1; k < period / 2; ++k) {
        const double hz = static_cast<double>(k) * rate / static_cast<double>(period);
        if (hz < lowHz || hz > highHz) continue;
        const double magnitude = slope == 0 ? 1.0 : 1.0 / std::sqrt(hz);
        spectrum[k] = std::polar(magnitude, phase(random));
        spectrum[period - k] = std::conj(spectrum[k]);
    }
    transform(spectrum, +1);
    std::vector<double> out(period);
    double energy = 0;
    for (std::size_t i = 0; i < period; ++i) energy += spectrum[i].real() * spectrum[i].real();
    const double scale = amplitudeOf(rmsDbfs) / std::sqrt(energy / static_cast<double>(period));
    for (std::size_t i = 0; i < period; ++i) out[i] = spectrum[i].real() * scale;
    return out;
}

}  // namespace testsignals
