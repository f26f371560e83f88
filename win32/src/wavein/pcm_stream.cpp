// Conversion from what a device records to the PCM that waveInOpen asked for.
#include "wavein/pcm_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

namespace subset::wavein {

namespace {
// One read covers at most 10 ms: short enough for small buffers to arrive
// evenly, long enough to keep the device's thread mostly asleep.
std::size_t framesIn10Ms(unsigned rate) { return std::max<std::size_t>(1, rate / 100); }

// A live device's sound is handed on every 8.5 ms, whenever it came. A
// program that repaints on the arrival of sound, once more than its frame
// interval has passed, then paints every 42.5 ms at an interval of 40 ms
// (23.5 frames a second where it asked for 25) and every 17 ms at 16 or
// 10 ms (59 where it asked for 60 or 100): the longest step, so the fewest
// wake-ups, that still gives at least 23 frames a second at 25 and 50 at 60
// and 100. Sound that comes every 10 ms (a player's FIFO) or every 25 ms
// (the sound server's fragments, which keep the server's own wake-ups few)
// would hold such a program to 20 frames a second, and to 40 or 50 at 60
// or 100; a step of 6 ms paints a little more often at 100 (83) but wakes
// this thread 40% more often.
constexpr auto kStep = std::chrono::microseconds(8500);
std::size_t framesInStep(unsigned rate) { return std::max<std::size_t>(1, rate * 17 / 2000); }
// The most sound that is taken in from a live device before it is handed on.
std::size_t framesIn1S(unsigned rate) { return std::max<std::size_t>(1, rate); }
// The longest usual delivery of a live device (the sound server's are
// 25 ms); a larger one is a backlog after a stall, handed on at once.
std::size_t framesIn30Ms(unsigned rate) { return std::max<std::size_t>(1, rate * 30 / 1000); }
constexpr auto kOverdue = std::chrono::milliseconds(30);

// What a device may produce: a sound file declares any rate and channel
// count it likes, and every buffer below is sized from them.
constexpr unsigned kLowestSourceRate = 1000;
constexpr unsigned kHighestSourceRate = 768000;
constexpr unsigned kMostSourceChannels = 64;

bool checkShape(PcmShape produced, std::string& error) {
    if (produced.rate < kLowestSourceRate || produced.rate > kHighestSourceRate) {
        error = "its sound has " + std::to_string(produced.rate) + " samples a second; only " +
                std::to_string(kLowestSourceRate) + " to " + std::to_string(kHighestSourceRate) + " can be recorded";
        return false;
    }
    if (produced.channels < 1 || produced.channels > kMostSourceChannels) {
        error = "its sound has " + std::to_string(produced.channels) + " channels; only 1 to " +
                std::to_string(kMostSourceChannels) + " can be recorded";
        return false;
    }
    return true;
}

// Minimum phase with small transform blocks: a sound reaches the program
// about 7 ms after it was read instead of 24 ms (in bursts of up to 36 ms),
// at the same CPU. The phase of the filter changes the shape of a waveform
// but not its spectrum, and without pre-ringing a sound starts no earlier
// than it did. libsoxr's design of that filter writes past its own blocks
// when it raises the rate steeply (seen from about 40 times up), so the
// fast settings serve the ratios that devices and files really ask for,
// and a steeper one gets the library's plain linear-phase filter.
constexpr unsigned kLog2TransformSize = 7;
constexpr double kSteepestFastRise = 8;
constexpr double kSteepestFastFall = 48;

soxr_t createResampler(unsigned fromRate, unsigned toRate, unsigned channels, soxr_error_t& failure) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const double rise = double(toRate) / fromRate;
    if (rise > kSteepestFastRise || rise < 1 / kSteepestFastFall) {
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        return soxr_create(fromRate, toRate, channels, &failure, &io, &quality, &runtime);
    }
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ | SOXR_MINIMUM_PHASE, 0);
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    runtime.log2_min_dft_size = kLog2TransformSize;
    runtime.log2_large_dft_size = kLog2TransformSize;
    return soxr_create(fromRate, toRate, channels, &failure, &io, &quality, &runtime);
}
}  // namespace

std::unique_ptr<PcmStream> PcmStream::create(const SourceOps& ops, void* source, PcmShape produced,
                                             WantedPcm wanted, std::string& error) {
    if (!checkShape(produced, error)) {
        ops.close(source);
        return nullptr;
    }
    std::unique_ptr<PcmStream> stream(new PcmStream(ops, source, produced, wanted));
    if (produced.rate != wanted.rate) {
        soxr_error_t failure = nullptr;
        stream->resampler_ = createResampler(produced.rate, wanted.rate, wanted.channels, failure);
        if (failure) {
            error = std::string("cannot convert ") + std::to_string(produced.rate) + " to " +
                    std::to_string(wanted.rate) + " samples a second: " + failure;
            return nullptr;  // the destructor closes the device
        }
    }
    return stream;
}

PcmStream::PcmStream(const SourceOps& ops, void* source, PcmShape produced, WantedPcm wanted)
    : ops_(ops),
      source_(source),
      produced_(produced),
      wanted_(wanted),
      largestRead_(framesIn10Ms(wanted.rate)),
      largestSourceRead_(framesIn10Ms(produced.rate)),
      paced_(ops.readNow != nullptr),
      step_(framesInStep(wanted.rate)) {
    fromSource_.resize(largestSourceRead_ * produced_.channels);
    mapped_.resize(largestSourceRead_ * wanted_.channels);
    ready_.resize((largestRead_ * 4 + 1024) * wanted_.channels);
}

PcmStream::~PcmStream() {
    if (resampler_) soxr_delete(resampler_);
    ops_.close(source_);
}

std::size_t PcmStream::read(unsigned char* out, std::size_t most, std::string& error) {
    if (paced_) return readPaced(out, most, error);
    while (readyFrames_ == 0) {
        if (!refill(most, error)) return 0;
    }
    return handOn(out, std::min(most, readyFrames_));
}

// Every step: what the device has delivered since, taken in without a wait,
// handed on a step at a time. As much as the largest delivery of late is
// kept back for the steps before the next delivery (the resampler gives
// its output in blocks, and a writer a little late must not leave a step
// with nothing): 10 ms for a writer that writes 10 ms at once, 25 ms for
// the sound server's fragments. What lies beyond (a backlog after a stall)
// is handed on at once. Only when nothing is left and the device's next
// delivery is overdue does the read wait for it (a silent writer, a lost
// server: the device then records silence), and the pace starts again
// from what it gives.
std::size_t PcmStream::readPaced(unsigned char* out, std::size_t most, std::string& error) {
    std::this_thread::sleep_until(nextStep_);
    const unsigned long long before = sourceFramesTaken_;
    if (!takeInWhatArrived()) {
        paced_ = false;
        return read(out, most, error);
    }
    // The resampler gives its output in blocks, so a step may find nothing
    // ready while the device delivers in its rhythm: the next step comes.
    while (readyFrames_ == 0 && !waitedForDevice_ && !readNeeded_ && Clock::now() - lastArrival_ < kOverdue) {
        nextStep_ += kStep;
        std::this_thread::sleep_until(nextStep_);
        if (!takeInWhatArrived()) break;
    }
    if (readyFrames_ == 0 || readNeeded_) {
        readNeeded_ = false;
        do {
            if (!refill(most, error)) return 0;
        } while (readyFrames_ == 0);
        nextStep_ = Clock::now();
        // Until sound arrives again without a wait, the device keeps its
        // own time (it records silence): what it gives is handed on a step
        // at a time, with nothing kept back.
        waitedForDevice_ = true;
    } else if (sourceFramesTaken_ != before) {
        waitedForDevice_ = false;
    }
    if (sourceFramesTaken_ != before) lastArrival_ = Clock::now();
    // What the device delivered, counted as it came rather than as the
    // resampler gives it out (in blocks of its own).
    const auto arrived = std::size_t((sourceFramesTaken_ - before) * wanted_.rate / produced_.rate);
    // The largest usual delivery of late, fading by a 16th a step (about
    // 100 ms), so that a device that comes to deliver smaller parts soon
    // keeps less back.
    largestArrival_ = std::max(std::min(arrived, framesIn30Ms(wanted_.rate)), largestArrival_ - largestArrival_ / 16);
    const std::size_t keptBack = waitedForDevice_ ? 0 : largestArrival_;
    const std::size_t surplus = readyFrames_ > keptBack ? readyFrames_ - keptBack : 0;
    std::size_t frames = std::min({std::max(step_, surplus), readyFrames_, most});
    // A step at a time after a wait: the next step then still has sound, so
    // it does not wait, and a live writer that the wait found is taken in
    // again without one, in its own rhythm. Handing all of it on would leave
    // every step empty and every read waiting for the writer: its sound
    // would go on as it came, unpaced.
    if (waitedForDevice_) frames = std::min(frames, step_);
    const Clock::time_point now = Clock::now();
    if (surplus > frames && !waitedForDevice_) {
        nextStep_ = now;  // the rest of a backlog follows at once
    } else {
        nextStep_ += kStep;
        // After a stall the pace starts again from now rather than catching up.
        if (nextStep_ + kStep < now) nextStep_ = now;
    }
    return handOn(out, frames);
}

bool PcmStream::takeInWhatArrived() {
    const std::size_t limit = framesIn1S(wanted_.rate);
    while (readyFrames_ < limit) {
        const std::size_t got = ops_.readNow(source_, fromSource_.data(), largestSourceRead_);
        if (got == kFillsEveryRead) return false;
        if (got == kReadNeeded) {
            readNeeded_ = true;
            break;
        }
        if (got == 0) break;
        sourceFramesTaken_ += got;
        mapChannels(got);
        appendConverted(mapped_.data(), got);
        if (got < largestSourceRead_) break;
    }
    return true;
}

std::size_t PcmStream::handOn(unsigned char* out, std::size_t frames) {
    quantise(out, frames);
    const std::size_t channels = wanted_.channels;
    std::memmove(ready_.data(), ready_.data() + frames * channels, (readyFrames_ - frames) * channels * sizeof(float));
    readyFrames_ -= frames;
    return frames;
}

bool PcmStream::refill(std::size_t framesWanted, std::string& error) {
    // Source frames for that many wanted frames, plus one for the rounding.
    std::size_t count = framesWanted;
    if (resampler_) count = std::size_t(std::ceil(double(framesWanted) * produced_.rate / wanted_.rate)) + 1;
    count = std::clamp<std::size_t>(count, 1, largestSourceRead_);
    const std::size_t got = ops_.read(source_, fromSource_.data(), count, error);
    if (got == 0) return false;
    sourceFramesTaken_ += got;
    mapChannels(got);
    appendConverted(mapped_.data(), got);
    return true;
}

void PcmStream::mapChannels(std::size_t frames) {
    const unsigned from = produced_.channels;
    const unsigned to = wanted_.channels;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const float* in = &fromSource_[frame * from];
        float* out = &mapped_[frame * to];
        if (to == 1) {
            float sum = 0;
            for (unsigned c = 0; c < from; ++c) sum += in[c];
            out[0] = sum / float(from);
        } else {
            out[0] = in[0];
            out[1] = from > 1 ? in[1] : in[0];
        }
    }
}

void PcmStream::appendConverted(const float* frames, std::size_t count) {
    const std::size_t channels = wanted_.channels;
    if (!resampler_) {
        if ((readyFrames_ + count) * channels > ready_.size()) ready_.resize((readyFrames_ + count) * channels);
        std::memcpy(&ready_[readyFrames_ * channels], frames, count * channels * sizeof(float));
        readyFrames_ += count;
        return;
    }
    std::size_t consumed = 0;
    while (consumed < count) {
        // Room for everything this input can give, whatever the ratio.
        const std::size_t room = std::size_t(double(count - consumed) * wanted_.rate / produced_.rate) + 256;
        if ((readyFrames_ + room) * channels > ready_.size()) ready_.resize((readyFrames_ + room) * channels);
        std::size_t taken = 0;
        std::size_t given = 0;
        soxr_process(resampler_, frames + consumed * channels, count - consumed, &taken,
                     &ready_[readyFrames_ * channels], room, &given);
        consumed += taken;
        readyFrames_ += given;
        if (taken == 0 && given == 0) break;
    }
}

void PcmStream::quantise(unsigned char* out, std::size_t frames) const {
    // The devices' own scale (1/32768 a step), rounded to the nearest step
    // and kept within the width: exact for a sample that came in as 16 bits.
    const std::size_t samples = frames * wanted_.channels;
    for (std::size_t i = 0; i < samples; ++i) {
        const float value = std::clamp(ready_[i], -1.0f, 1.0f);
        if (wanted_.bits == 8) {
            out[i] = static_cast<unsigned char>(128 + std::clamp<long>(std::lrint(value * 128.0f), -128, 127));
        } else {
            const auto sample = static_cast<int16_t>(std::clamp<long>(std::lrint(value * 32768.0f), -32768, 32767));
            const auto bits = static_cast<uint16_t>(sample);
            out[2 * i] = static_cast<unsigned char>(bits & 0xff);  // little-endian, as the real device gives it
            out[2 * i + 1] = static_cast<unsigned char>(bits >> 8);
        }
    }
}

}  // namespace subset::wavein
