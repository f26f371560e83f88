// tone:HZ[+HZ...]: the sum of steady sine tones, each at the same level and
// together at half of full scale, recorded at the rate asked for and paced
// in real time. A tone at or above half that rate cannot be recorded and
// refuses to open rather than alias to another frequency.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "wavein/pacer.h"
#include "wavein/source.h"

namespace subset::wavein {

namespace {

constexpr double kHighestTone = 96000.0;  // half of the highest rate a device opens at

struct Tone {
    std::vector<double> steps;   // phase advance a frame, in turns
    std::vector<double> phases;  // in turns, 0 to 1
    Pacer pacer;
};

std::string hertzText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

bool parseTones(const std::string& text, std::vector<double>& hertz, std::string& error) {
    std::size_t start = 0;
    do {
        const std::size_t plus = text.find('+', start);
        const std::string item = text.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        char* end = nullptr;
        const double value = std::strtod(item.c_str(), &end);
        if (item.empty() || *end != '\0' || !(value > 0) || value > kHighestTone) {
            error = "tone:" + text + ": \"" + item + "\" is not a frequency; give hertz above 0 and up to 96000, " +
                    "several joined by '+' (tone:440+660)";
            return false;
        }
        hertz.push_back(value);
        start = plus == std::string::npos ? std::string::npos : plus + 1;
    } while (start != std::string::npos);
    return true;
}

bool check(const std::string& argument, std::string& error) {
    std::vector<double> hertz;
    return parseTones(argument, hertz, error);
}

void* open(const std::string& argument, const PcmShape& wanted, PcmShape& produced, std::string& error) {
    std::vector<double> hertz;
    if (!parseTones(argument, hertz, error)) return nullptr;
    auto* tone = new Tone{{}, {}, Pacer(wanted.rate)};
    for (double value : hertz) {
        if (value * 2 >= wanted.rate) {
            error = "tone:" + argument + ": a tone of " + hertzText(value) + " Hz needs more than " +
                    std::to_string(wanted.rate) + " samples a second (the highest tone at that rate lies below " +
                    std::to_string(wanted.rate / 2) + " Hz)";
            delete tone;
            return nullptr;
        }
        tone->steps.push_back(value / wanted.rate);
        tone->phases.push_back(0.0);
    }
    produced = PcmShape{wanted.rate, 1};
    return tone;
}

std::size_t read(void* source, float* out, std::size_t frames, std::string&) {
    auto* tone = static_cast<Tone*>(source);
    const double level = 0.5 / double(tone->steps.size());
    for (std::size_t frame = 0; frame < frames; ++frame) {
        double sum = 0;
        for (std::size_t i = 0; i < tone->steps.size(); ++i) {
            sum += std::sin(2 * M_PI * tone->phases[i]);
            tone->phases[i] += tone->steps[i];
            if (tone->phases[i] >= 1) tone->phases[i] -= 1;
        }
        out[frame] = static_cast<float>(sum * level);
    }
    tone->pacer.wait(frames);
    return frames;
}

void close(void* source) { delete static_cast<Tone*>(source); }

}  // namespace

const SourceOps toneSource = {check, open, read, close, nullptr};

}  // namespace subset::wavein
