// How long the analysis of one buffer takes. The transform is measured
// against a direct DFT of the same points in the same run (a table of
// twiddles, n * n multiplies), and analyseBuffer against the sound that one
// buffer holds at 16 kHz and 16 bits, since it must keep up with the device.
// Prints the ratios after the usual table; no figure here is a pass or fail.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "audio/spectrum.h"
#include "config/plugin_state.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kBytesPerSecond = 16000.0 * 2;  // the defaults: 16 kHz, 16 bits, mono

std::vector<double> randomPoints(unsigned n) {
    std::mt19937 random(n);
    std::uniform_int_distribution<int> magnitude(0, 128);
    std::vector<double> points(2 * n);
    for (double& value : points) value = magnitude(random);
    return points;
}

// (1/n) * sum over j of x_j * e^(-2 pi i jk/n), with the n twiddles in a table.
void directTransform(const double* in, double* out, unsigned n, const std::vector<double>& cosines,
                     const std::vector<double>& sines) {
    for (unsigned k = 0; k < n; ++k) {
        double re = 0, im = 0;
        for (unsigned j = 0; j < n; ++j) {
            const unsigned m = (j * k) % n;
            re += in[2 * j] * cosines[m] + in[2 * j + 1] * sines[m];
            im += in[2 * j + 1] * cosines[m] - in[2 * j] * sines[m];
        }
        out[2 * k] = re / n;
        out[2 * k + 1] = im / n;
    }
}

void transform(benchmark::State& state) {
    const auto n = static_cast<unsigned>(state.range(0));
    const std::vector<double> input = randomPoints(n);
    std::vector<double> work(2 * n);
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin());
        vumira::transformSpectrum(work.data(), n);
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(transform)->RangeMultiplier(2)->Range(16, 256);

void directDft(benchmark::State& state) {
    const auto n = static_cast<unsigned>(state.range(0));
    const std::vector<double> input = randomPoints(n);
    std::vector<double> work(2 * n), out(2 * n), cosines(n), sines(n);
    for (unsigned m = 0; m < n; ++m) {
        cosines[m] = std::cos(kTwoPi * m / n);
        sines[m] = std::sin(kTwoPi * m / n);
    }
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin());
        directTransform(work.data(), out.data(), n, cosines, sines);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(directDft)->RangeMultiplier(2)->Range(16, 256);

// The whole analysis of one buffer of recorded bytes, with every band of
// the buffer shown and peak markers on.
void analyseBuffer(benchmark::State& state) {
    const auto count = static_cast<unsigned>(state.range(0));
    std::mt19937 random(count);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<unsigned char> bytes(count);
    for (unsigned char& value : bytes) value = static_cast<unsigned char>(byte(random));
    vumira::plugin.freqMin.store(0);
    vumira::plugin.freqMax.store(static_cast<int>(std::min(count - 1, 255u)));
    vumira::plugin.peakMarkers.store(true);
    for (auto _ : state) {
        vumira::analyseBuffer(bytes.data(), count);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(analyseBuffer)->RangeMultiplier(2)->Range(64, 512);

// Keeps the processor time per iteration of every plain run, by name: on a
// machine that others share, wall time says more about them than about us.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            nanoseconds[run.benchmark_name()] = run.GetAdjustedCPUTime() * unitToNanoseconds(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> nanoseconds;

private:
    static double unitToNanoseconds(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond: return 1.0;
            case benchmark::kMicrosecond: return 1e3;
            case benchmark::kMillisecond: return 1e6;
            case benchmark::kSecond: return 1e9;
        }
        return 1.0;
    }
};

void printRatios(const std::map<std::string, double>& nanoseconds) {
    auto find = [&](const std::string& name) {
        auto found = nanoseconds.find(name);
        return found == nanoseconds.end() ? 0.0 : found->second;
    };
    std::printf("\n%8s %14s %14s %22s\n", "points", "transform ns", "direct DFT ns", "direct DFT / transform");
    for (unsigned n = 16; n <= 256; n *= 2) {
        const double ours = find("transform/" + std::to_string(n));
        const double direct = find("directDft/" + std::to_string(n));
        if (ours > 0 && direct > 0) std::printf("%8u %14.0f %14.0f %22.2f\n", n, ours, direct, direct / ours);
    }
    std::printf("\n%8s %18s %18s %24s\n", "bytes", "analyseBuffer ns", "sound held, ns", "share of real time (%)");
    for (unsigned count = 64; count <= 512; count *= 2) {
        const double ours = find("analyseBuffer/" + std::to_string(count));
        const double sound = count / kBytesPerSecond * 1e9;
        if (ours > 0) std::printf("%8u %18.0f %18.0f %24.4f\n", count, ours, sound, 100.0 * ours / sound);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printRatios(reporter.nanoseconds);
    return 0;
}
