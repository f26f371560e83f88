// What reaches the program from a sound file or a raw stream, byte for
// byte: a 16-bit input of the rate and channel count asked for arrives
// unchanged, and a conversion of width or channels rounds to the nearest
// step with full scale mapping to full scale. Real files in a temporary
// folder, recorded through waveIn with `file:` and `raw:`.
#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include "recording.h"
#include "test_support.h"

namespace {

using wavetest::pcmFormat;
using wavetest::Recorder;

// Loud, quiet and both ends of the scale, and one value that a scale of
// 32767/32768 would turn into its neighbour (-25520 into -25519).
const std::vector<int> kSixteenBit = {-25520, 32767, -32768, 0, 1, -1, 12345, -12346, 255, 256, -256, 30000, -129};

// Records the first `frames` frames of the format from the device, into
// one buffer that holds them all: a device, like a microphone, drops what
// comes while the program has no buffer queued.
std::vector<unsigned char> record(const std::string& device, const WAVEFORMATEX& format, std::size_t frames) {
    Recorder recorder(format, DWORD(format.nBlockAlign * frames));
    EXPECT_EQ(recorder.open(device.c_str()), MMSYSERR_NOERROR) << device;
    const std::size_t bytes = frames * format.nBlockAlign;
    EXPECT_TRUE(recorder.waitFor(bytes)) << device << ": too little sound arrived";
    auto recorded = recorder.recorded();
    recorder.close();
    recorded.resize(std::min(recorded.size(), bytes));
    return recorded;
}

// `frames` frames of `channels` samples, each channel its own turn through `values`.
std::vector<int> interleaved(const std::vector<int>& values, unsigned channels, std::size_t frames) {
    std::vector<int> samples;
    for (std::size_t frame = 0; frame < frames; ++frame)
        for (unsigned channel = 0; channel < channels; ++channel)
            samples.push_back(values[(frame + 5 * channel) % values.size()]);
    return samples;
}

// A sound file of `type` holding the samples, each a value of `bits` bits.
void writeSoundFile(const std::string& path, int type, unsigned rate, unsigned channels, unsigned bits,
                    const std::vector<int>& samples) {
    SF_INFO info{};
    info.samplerate = int(rate);
    info.channels = int(channels);
    info.format = type;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    // libsndfile's int samples are left-justified: a shift is exact.
    std::vector<int> justified;
    for (int sample : samples) justified.push_back(int(std::uint32_t(sample) << (32 - bits)));
    const auto frames = sf_count_t(samples.size() / channels);
    EXPECT_EQ(sf_writef_int(file, justified.data(), frames), frames);
    sf_close(file);
}

void writeRawFile(const std::string& path, const std::vector<int>& samples) {
    std::string bytes;
    for (int sample : samples) {
        bytes.push_back(char(sample & 0xff));
        bytes.push_back(char((sample >> 8) & 0xff));
    }
    testsupport::writeFile(path, bytes);
}

// The bytes a program asking for `bits` gets for the samples: 16-bit signed
// little-endian, or 8-bit unsigned around 0x80.
std::vector<unsigned char> asBytes(const std::vector<int>& samples, unsigned bits) {
    std::vector<unsigned char> bytes;
    for (int sample : samples) {
        if (bits == 8) {
            bytes.push_back(static_cast<unsigned char>(sample + 128));
        } else {
            bytes.push_back(static_cast<unsigned char>(sample & 0xff));
            bytes.push_back(static_cast<unsigned char>((sample >> 8) & 0xff));
        }
    }
    return bytes;
}

enum class Container { Wav, Flac, Raw };

struct ExactCase {
    Container container;
    unsigned rate, channels;
};

TEST(WaveInBitExact, SixteenBitsOfTheRateAndChannelsAskedForArriveUnchanged) {
    const ExactCase cases[] = {
        {Container::Wav, 16000, 1},  {Container::Wav, 44100, 2}, {Container::Wav, 8000, 2},
        {Container::Flac, 22050, 1}, {Container::Flac, 48000, 2}, {Container::Raw, 44100, 2},
        {Container::Raw, 16000, 1},  {Container::Raw, 11025, 2},
    };
    testsupport::TempDir dir;
    for (const auto& c : cases) {
        // 300 frames in the file, 700 recorded: the file plays more than twice over.
        const auto samples = interleaved(kSixteenBit, c.channels, 300);
        std::string device;
        if (c.container == Container::Raw) {
            const std::string path = dir.file("exact.raw");
            writeRawFile(path, samples);
            device = "raw:" + path + "," + std::to_string(c.rate) + "," + std::to_string(c.channels);
        } else {
            const bool flac = c.container == Container::Flac;
            const std::string path = dir.file(flac ? "exact.flac" : "exact.wav");
            writeSoundFile(path, (flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16, c.rate, c.channels, 16,
                           samples);
            device = "file:" + path;
        }
        const WAVEFORMATEX format = pcmFormat(c.rate, c.channels, 16);
        const auto got = record(device, format, 700);
        const auto once = asBytes(samples, 16);
        ASSERT_EQ(got.size(), 700u * format.nBlockAlign) << device;
        std::size_t differing = 0, first = got.size();
        for (std::size_t i = 0; i < got.size(); ++i) {
            if (got[i] == once[i % once.size()]) continue;
            ++differing;
            first = std::min(first, i);
        }
        EXPECT_EQ(differing, 0u) << device << " at " << wavetest::formatText(format) << ": first difference at byte "
                                 << first;
    }
}

// A conversion: the file's samples, and what each must become in the format asked for.
struct ConversionCase {
    const char* what;
    int type;                      // the file's libsndfile format
    unsigned fileBits, fileChannels;
    std::vector<int> fileSamples;  // interleaved
    unsigned bits, channels;       // asked for
    std::vector<int> expected;     // interleaved, in the width asked for
};

TEST(WaveInBitExact, ConversionsRoundToTheNearestStepAndKeepFullScale) {
    const ConversionCase cases[] = {
        // 16 to 8 bits: s / 256 rounded, 32767 -> 127 (0xFF), -32768 -> -128 (0x00).
        {"16 to 8 bits", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16, 1, {32767, -32768, 0, -25520, 300, -300, 32600},
         8, 1, {127, -128, 0, -100, 1, -1, 127}},
        // 8 to 16 bits: (u - 128) * 256, so 0x00 -> -32768 and 0xFF -> 32512.
        {"8 to 16 bits", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8, 1, {-128, 127, 0, 1, -1, 100}, 16, 1,
         {-32768, 32512, 0, 256, -256, 25600}},
        // 24 to 16 bits: the top 16 bits, rounded to the nearest step.
        {"24 to 16 bits", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 24, 1,
         {0x7FFFFF, -0x800000, 0x123440, 0x1234C0, -0x1234C0, 0}, 16, 1,
         {32767, -32768, 0x1234, 0x1235, -0x1235, 0}},
        // Stereo to mono: the mean, exact when both channels agree.
        {"stereo to mono", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16, 2,
         {-25520, -25520, 32767, 32767, -32768, -32768, 100, 300, -1, -3}, 16, 1, {-25520, 32767, -32768, 200, -2}},
        // Mono to stereo: each sample twice, unchanged.
        {"mono to stereo", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16, 1, {-25520, 32767, -32768, 7}, 16, 2,
         {-25520, -25520, 32767, 32767, -32768, -32768, 7, 7}},
    };
    testsupport::TempDir dir;
    const unsigned rate = 8000;
    for (const auto& c : cases) {
        const std::string path = dir.file("conversion.wav");
        writeSoundFile(path, c.type, rate, c.fileChannels, c.fileBits, c.fileSamples);
        const WAVEFORMATEX format = pcmFormat(rate, c.channels, c.bits);
        const std::size_t frames = c.expected.size() / c.channels;
        const auto got = record("file:" + path, format, frames);
        EXPECT_EQ(got, asBytes(c.expected, c.bits)) << c.what;
    }
}

// Another rate goes through the resampler: a constant level comes out at
// that level, within one step, once the resampler has settled.
TEST(WaveInBitExact, ARateConversionKeepsAConstantLevelWithinOneStep) {
    testsupport::TempDir dir;
    const std::string path = dir.file("level.wav");
    for (int level : {-25520, 32767, -32768, 1000}) {
        writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 16, std::vector<int>(4410, level));
        const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
        const auto samples = wavetest::channelOf(record("file:" + path, format, 3000), format, 0, 1000);
        ASSERT_EQ(samples.size(), 2000u);
        for (std::size_t i = 0; i < samples.size(); ++i)
            ASSERT_NEAR(samples[i] * 32768.0, level, 1.0) << "level " << level << ", sample " << i;
    }
}

}  // namespace
