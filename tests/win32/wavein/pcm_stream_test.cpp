// The stream that turns what a device produces into the format waveInOpen
// asked for, driven directly with a device of its own: a sine at any rate
// and channel count, handed over without pacing. Every ratio of rates that
// a sound file can ask for converts the tone faithfully; a rate or channel
// count that no stream takes is refused with a message and the device
// closed. The `Memcheck` test runs these under Valgrind, which sees what
// the resampling library writes in its own blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "wavein/pcm_stream.h"
#include "wavein/source.h"

namespace {

using subset::wavein::PcmShape;
using subset::wavein::PcmStream;
using subset::wavein::SourceOps;
using subset::wavein::WantedPcm;

struct SineDevice {
    PcmShape shape;
    double hertz;
    double amplitude;
    std::size_t frame = 0;
    int* closes;
};

std::size_t readSine(void* source, float* out, std::size_t most, std::string&) {
    auto* device = static_cast<SineDevice*>(source);
    for (std::size_t i = 0; i < most; ++i, ++device->frame) {
        const double phase = 2 * std::numbers::pi * device->hertz * double(device->frame) / device->shape.rate;
        for (unsigned c = 0; c < device->shape.channels; ++c) *out++ = float(device->amplitude * std::sin(phase));
    }
    return most;
}

void closeSine(void* source) {
    auto* device = static_cast<SineDevice*>(source);
    ++*device->closes;
    delete device;
}

bool noCheck(const std::string&, std::string&) { return true; }
void* noOpen(const std::string&, const PcmShape&, PcmShape&, std::string&) { return nullptr; }
const SourceOps kSineOps = {noCheck, noOpen, readSine, closeSine, nullptr};

// Mono 16-bit samples of `frames` frames read through the stream.
std::vector<double> readThrough(PcmStream& stream, std::size_t frames) {
    std::vector<double> samples;
    std::vector<unsigned char> bytes(stream.largestRead() * 2);
    std::string error;
    while (samples.size() < frames) {
        const std::size_t got = stream.read(bytes.data(), stream.largestRead(), error);
        EXPECT_GT(got, 0u) << error;
        if (got == 0) break;
        for (std::size_t i = 0; i < got; ++i) samples.push_back(double(std::int16_t(bytes[2 * i] | bytes[2 * i + 1] << 8)) / 32768.0);
    }
    return samples;
}

// The amplitude of the `hertz` component of the samples (one DFT bin).
double amplitudeAt(const std::vector<double>& samples, double hertz, unsigned rate) {
    std::complex<double> sum;
    for (std::size_t t = 0; t < samples.size(); ++t)
        sum += samples[t] * std::polar(1.0, -2 * std::numbers::pi * hertz * double(t) / rate);
    return 2 * std::abs(sum) / double(samples.size());
}

double rootMeanSquare(const std::vector<double>& samples) {
    double sum = 0;
    for (double value : samples) sum += value * value;
    return std::sqrt(sum / double(samples.size()));
}

struct RatePair {
    unsigned produced;
    unsigned channels;
    unsigned wanted;
};

class PcmStreamRates : public testing::TestWithParam<RatePair> {};

// From the steepest rise to the steepest fall that a device or a file can
// ask for (1000 to 192000 samples a second wanted, 1000 to 768000 given),
// the common ones, and ratios that once made the resampler write past its
// blocks.
INSTANTIATE_TEST_SUITE_P(Ratios, PcmStreamRates,
                         testing::Values(RatePair{8000, 1, 16000}, RatePair{11025, 2, 16000}, RatePair{22050, 1, 16000},
                                         RatePair{44100, 2, 16000}, RatePair{48000, 6, 44100},
                                         RatePair{192000, 2, 16000}, RatePair{8000, 1, 64000},
                                         RatePair{8000, 1, 66000}, RatePair{1000, 1, 40000},
                                         RatePair{1853, 2, 169810}, RatePair{1842, 1, 186502},
                                         RatePair{1000, 1, 192000}, RatePair{768000, 1, 16000},
                                         RatePair{768000, 2, 1000}, RatePair{768000, 1, 192000}),
                         [](const testing::TestParamInfo<RatePair>& pair) {
                             return std::to_string(pair.param.produced) + "x" + std::to_string(pair.param.channels) +
                                    "_to_" + std::to_string(pair.param.wanted);
                         });

TEST_P(PcmStreamRates, ATonePassesAtItsFrequencyAndLevel) {
    const RatePair pair = GetParam();
    // Well inside both bands, and a whole number of cycles in what is measured.
    const unsigned lower = std::min(pair.produced, pair.wanted);
    const double hertz = std::floor(double(lower) / 8 / 10) * 10;
    int closes = 0;
    auto* device = new SineDevice{{pair.produced, pair.channels}, hertz, 0.5, 0, &closes};
    std::string error;
    {
        auto stream = PcmStream::create(kSineOps, device, device->shape, WantedPcm{pair.wanted, 1, 16}, error);
        ASSERT_NE(stream, nullptr) << error;
        // The filter settles within a tenth of a second; then a tenth is measured.
        const std::size_t tenth = pair.wanted / 10;
        auto samples = readThrough(*stream, 2 * tenth);
        ASSERT_GE(samples.size(), 2 * tenth);
        samples.erase(samples.begin(), samples.begin() + std::ptrdiff_t(tenth));
        samples.resize(tenth);
        EXPECT_NEAR(amplitudeAt(samples, hertz, pair.wanted), 0.5, 0.01) << hertz << " Hz";
        EXPECT_NEAR(rootMeanSquare(samples), 0.5 / std::sqrt(2.0), 0.01) << "nothing but the tone";
    }
    EXPECT_EQ(closes, 1) << "the stream closes its device once";
}

TEST(PcmStreamShapes, AShapeNoStreamTakesIsRefusedAndTheDeviceClosed) {
    const struct {
        PcmShape shape;
        const char* said;
    } cases[] = {
        {{1, 1}, "1 samples a second"},        {{999, 2}, "999 samples a second"},
        {{768001, 1}, "768001 samples a second"}, {{4000000, 1}, "4000000 samples a second"},
        {{16000, 0}, "0 channels"},            {{16000, 65}, "65 channels"},
    };
    for (const auto& refused : cases) {
        int closes = 0;
        auto* device = new SineDevice{refused.shape, 100, 0.5, 0, &closes};
        std::string error;
        EXPECT_EQ(PcmStream::create(kSineOps, device, refused.shape, WantedPcm{16000, 1, 16}, error), nullptr);
        EXPECT_NE(error.find(refused.said), std::string::npos) << error;
        EXPECT_EQ(closes, 1) << refused.said;
    }
}

// A live device driven by the test: the frames that "arrive" before each
// read, and a read that waits (counted) when nothing has. A writer on the
// clock instead delivers `writeFrames` every `writesEvery`, as a player
// writes its FIFO, and a read that waits gets its next write.
struct LiveDevice {
    std::size_t arrived = 0;  // not yet taken
    int waitingReads = 0;
    bool fillsEveryRead = false;
    std::chrono::milliseconds writesEvery{0};
    std::size_t writeFrames = 0;
    std::chrono::steady_clock::time_point firstWrite{};
    long long writesTaken = 0;

    long long writesDue() const {
        return (std::chrono::steady_clock::now() - firstWrite) / writesEvery + 1;
    }
};

std::size_t readLive(void* source, float* out, std::size_t most, std::string&) {
    auto* device = static_cast<LiveDevice*>(source);
    ++device->waitingReads;
    std::size_t frames = most;
    if (device->writesEvery.count() > 0) {
        std::this_thread::sleep_until(device->firstWrite + device->writesTaken * device->writesEvery);
        ++device->writesTaken;
        frames = std::min(most, device->writeFrames);
    }
    std::fill(out, out + frames, 0.25f);
    return frames;
}

std::size_t readLiveNow(void* source, float* out, std::size_t most) {
    auto* device = static_cast<LiveDevice*>(source);
    if (device->fillsEveryRead) return subset::wavein::kFillsEveryRead;
    if (device->writesEvery.count() > 0) {
        const long long due = device->writesDue();
        device->arrived += std::size_t(std::max(0LL, due - device->writesTaken)) * device->writeFrames;
        device->writesTaken = std::max(device->writesTaken, due);
    }
    const std::size_t frames = std::min(most, device->arrived);
    std::fill(out, out + frames, 0.25f);
    device->arrived -= frames;
    return frames;
}

void closeLive(void*) {}

const SourceOps kLiveOps = {noCheck, noOpen, readLive, closeLive, readLiveNow};

// 16 kHz mono 16-bit, the rate the device delivers: 136 frames a step of 8.5 ms.
constexpr std::size_t kStepFrames = 136;
std::unique_ptr<PcmStream> liveStream(LiveDevice& device) {
    std::string error;
    auto stream = PcmStream::create(kLiveOps, &device, PcmShape{16000, 1}, WantedPcm{16000, 1, 16}, error);
    EXPECT_NE(stream, nullptr) << error;
    return stream;
}

std::size_t readOnce(PcmStream& stream) {
    std::vector<unsigned char> bytes(stream.largestRead() * 2);
    std::string error;
    return stream.read(bytes.data(), stream.largestRead(), error);
}

// A device that delivers 250 frames (15.6 ms) every other step has them
// handed on in two parts, one each step, so a program that acts on the
// arrival of sound sees some every step; nothing is lost and nothing waits.
TEST(PcmStreamPace, ALiveDevicesDeliveriesAreHandedOnAStepAtATime) {
    LiveDevice device;
    auto stream = liveStream(device);
    ASSERT_NE(stream, nullptr);
    std::size_t given = 0, handedOn = 0;
    std::vector<std::size_t> reads;
    for (int step = 0; step < 40; ++step) {
        if (step % 2 == 0) {
            device.arrived += 250;
            given += 250;
        }
        reads.push_back(readOnce(*stream));
        handedOn += reads.back();
    }
    EXPECT_EQ(device.waitingReads, 0) << "a read waited for the device while sound was kept back";
    EXPECT_EQ(handedOn, given);
    for (std::size_t i = 2; i < reads.size(); ++i) {
        EXPECT_GT(reads[i], 0u) << "read " << i << " handed nothing on";
        EXPECT_LE(reads[i], kStepFrames) << "read " << i << " handed on more than a step";
    }
}

// A player that starts writing only after the first read waited for it is
// found by that wait, and from then on its writes of 10 ms are taken in as
// they come and handed on a step at a time: no read waits again, and
// nothing is lost. A step that came late (a busy machine) hands on the
// backlog at once, so a few reads may hand on more than a step; handed on
// unpaced, every read would hand on a whole write.
TEST(PcmStreamPace, AWriterFoundByAWaitKeepsItsPace) {
    LiveDevice device;
    device.writesEvery = std::chrono::milliseconds(10);
    device.writeFrames = 160;
    device.firstWrite = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
    auto stream = liveStream(device);
    ASSERT_NE(stream, nullptr);
    std::size_t handedOn = 0;
    std::vector<std::size_t> reads;
    for (int i = 0; i < 60; ++i) {
        reads.push_back(readOnce(*stream));
        handedOn += reads.back();
    }
    EXPECT_EQ(device.waitingReads, 1) << "reads waited for a writer that was writing";
    const auto overAStep = std::count_if(reads.begin() + 1, reads.end(), [](std::size_t n) { return n > kStepFrames; });
    EXPECT_LE(overAStep, std::ptrdiff_t(reads.size() / 5)) << "reads that handed on more than a step";
    EXPECT_LE(handedOn, std::size_t(device.writesTaken) * device.writeFrames);
    EXPECT_GE(handedOn + 2 * device.writeFrames, std::size_t(device.writesTaken) * device.writeFrames)
        << "more than what is kept back stayed behind";
}

// A backlog (a writer that stalled and caught up) is handed on at once in
// whole reads, down to what is kept back for the usual deliveries.
TEST(PcmStreamPace, ABacklogIsHandedOnAtOnce) {
    LiveDevice device;
    auto stream = liveStream(device);
    ASSERT_NE(stream, nullptr);
    for (int step = 0; step < 10; ++step) {
        device.arrived += step % 2 == 0 ? 150 : 0;
        readOnce(*stream);
    }
    device.arrived += 6400;  // 400 ms
    for (int i = 0; i < 30; ++i) EXPECT_EQ(readOnce(*stream), stream->largestRead()) << "read " << i;
    EXPECT_EQ(device.waitingReads, 0);
}

// With nothing kept back and nothing arrived, the read waits for the device;
// a device that fills every read is read as it always was.
TEST(PcmStreamPace, AnEmptyOrFillingDeviceIsWaitedFor) {
    for (const bool fills : {false, true}) {
        SCOPED_TRACE(fills ? "fills every read" : "nothing arrived");
        LiveDevice device;
        device.fillsEveryRead = fills;
        auto stream = liveStream(device);
        ASSERT_NE(stream, nullptr);
        EXPECT_GT(readOnce(*stream), 0u);
        EXPECT_EQ(device.waitingReads, 1);
        if (fills) {
            EXPECT_EQ(readOnce(*stream), stream->largestRead());
            EXPECT_EQ(device.waitingReads, 2);
        }
    }
}

}  // namespace
