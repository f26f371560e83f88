// demo: a built-in signal that keeps the bars busy without any sound on the
// machine. Four scenes of two seconds follow each other for ever: a quick
// melody, slow chords with a tremolo, a rising sweep, and noise bursts over
// a thumping bass. Every partial stays below half the rate asked for, and
// the whole stays within full scale. Paced in real time.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "wavein/pacer.h"
#include "wavein/source.h"

namespace subset::wavein {

namespace {

constexpr double kSceneSeconds = 2.0;
constexpr double kPentatonic[] = {0, 2, 4, 7, 9, 12, 14, 16};  // semitones above the root
constexpr double kChords[][3] = {{0, 4, 7}, {-3, 0, 4}, {-7, -3, 0}, {-5, -1, 2}};  // I, vi, IV, V

struct Demo {
    unsigned rate;
    unsigned long long frame = 0;
    std::uint32_t noiseState = 0x9e3779b9u;
    double phases[4] = {};
    Pacer pacer;
};

double semitones(double root, double steps) { return root * std::pow(2.0, steps / 12.0); }

// A sine partial that stays silent when the rate cannot carry it.
double partial(Demo& demo, int slot, double hertz) {
    if (hertz * 2.2 >= demo.rate) return 0;
    demo.phases[slot] += hertz / demo.rate;
    demo.phases[slot] -= std::floor(demo.phases[slot]);
    return std::sin(2 * M_PI * demo.phases[slot]);
}

double noise(Demo& demo) {  // xorshift: the same lively noise on every run
    demo.noiseState ^= demo.noiseState << 13;
    demo.noiseState ^= demo.noiseState >> 17;
    demo.noiseState ^= demo.noiseState << 5;
    return double(demo.noiseState) / 2147483648.0 - 1.0;
}

double sample(Demo& demo) {
    const double seconds = double(demo.frame) / demo.rate;
    const int scene = int(seconds / kSceneSeconds) % 4;
    const double inScene = std::fmod(seconds, kSceneSeconds);
    switch (scene) {
    case 0: {  // melody: a new note every 150 ms, each struck and fading
        const auto note = static_cast<unsigned long long>(seconds / 0.15);
        const double hertz = semitones(440.0, kPentatonic[(note * 5 + note / 3) % 8]);
        const double envelope = std::exp(-std::fmod(seconds, 0.15) * 12);
        return 0.45 * envelope * partial(demo, 0, hertz) + 0.15 * envelope * partial(demo, 1, hertz * 2);
    }
    case 1: {  // chords, one a second, with a 6 Hz tremolo
        const auto* chord = kChords[static_cast<int>(inScene) % 4];
        const double tremolo = 0.75 + 0.25 * std::sin(2 * M_PI * 6 * seconds);
        double sum = 0;
        for (int i = 0; i < 3; ++i) sum += partial(demo, i, semitones(262.0, chord[i]));
        return 0.2 * tremolo * sum;
    }
    case 2: {  // a sweep from 100 Hz to near the top of the band, over the scene
        const double top = std::min(10000.0, demo.rate * 0.4);
        return 0.5 * partial(demo, 0, 100.0 * std::pow(top / 100.0, inScene / kSceneSeconds));
    }
    default: {  // noise bursts every 250 ms over a bass thump every 500 ms
        const double burst = std::exp(-std::fmod(seconds, 0.25) * 25);
        const double thumpTime = std::fmod(seconds, 0.5);
        const double thump = std::exp(-thumpTime * 15) * partial(demo, 0, 55.0 + 60.0 * std::exp(-thumpTime * 30));
        return 0.3 * burst * noise(demo) + 0.5 * thump;
    }
    }
}

bool check(const std::string& argument, std::string& error) {
    if (argument.empty()) return true;
    error = "demo takes nothing after it (found \"demo:" + argument + "\")";
    return false;
}

void* open(const std::string&, const PcmShape& wanted, PcmShape& produced, std::string&) {
    produced = PcmShape{wanted.rate, 1};
    return new Demo{wanted.rate, 0, 0x9e3779b9u, {}, Pacer(wanted.rate)};
}

std::size_t read(void* source, float* out, std::size_t frames, std::string&) {
    auto* demo = static_cast<Demo*>(source);
    for (std::size_t i = 0; i < frames; ++i, ++demo->frame) out[i] = static_cast<float>(sample(*demo));
    demo->pacer.wait(frames);
    return frames;
}

void close(void* source) { delete static_cast<Demo*>(source); }

}  // namespace

const SourceOps demoSource = {check, open, read, close, nullptr};

}  // namespace subset::wavein
