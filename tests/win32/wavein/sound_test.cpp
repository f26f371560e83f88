// What the built-in, file and raw devices record, checked by its strongest
// frequency (a direct DFT), its level and its silence, in the formats asked
// for: the conversions of rate, channels and sample width included.
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "recording.h"
#include "test_support.h"

namespace {

using namespace std::chrono_literals;
using wavetest::binOf;
using wavetest::channelOf;
using wavetest::pcmFormat;
using wavetest::Recorder;

constexpr std::size_t kPoints = 1024;

// Records `frames` frames (after skipping `skip`) from the device.
std::vector<unsigned char> record(const std::string& deviceText, const WAVEFORMATEX& format, std::size_t frames,
                                  std::size_t skip = 0) {
    Recorder recorder(format, format.nBlockAlign * 256);
    EXPECT_EQ(recorder.open(deviceText.c_str()), MMSYSERR_NOERROR) << deviceText;
    const std::size_t bytes = (frames + skip) * format.nBlockAlign;
    EXPECT_TRUE(recorder.waitFor(bytes)) << deviceText << ": too little sound arrived";
    auto recorded = recorder.recorded();
    recorder.close();
    if (recorded.size() < bytes) return {};
    return std::vector<unsigned char>(recorded.begin() + std::ptrdiff_t(skip * format.nBlockAlign),
                                      recorded.begin() + std::ptrdiff_t(bytes));
}

// Expects the strongest frequency of `samples` within one bin of `hertz`.
void expectStrongest(const std::vector<double>& samples, double hertz, unsigned rate, const std::string& what) {
    ASSERT_GE(samples.size(), kPoints) << what;
    const std::vector<double> window(samples.begin(), samples.begin() + kPoints);
    const double expected = binOf(hertz, kPoints, rate);
    const auto strongest = double(wavetest::strongestBin(window));
    EXPECT_NEAR(strongest, expected, 1.0) << what << ": strongest at " << strongest * rate / kPoints << " Hz";
}

void writeSound(const std::string& path, int type, unsigned rate, unsigned channels, std::size_t frames,
                const std::function<double(std::size_t frame, unsigned channel)>& value) {
    SF_INFO info{};
    info.samplerate = int(rate);
    info.channels = int(channels);
    info.format = type;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<double> samples;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        for (unsigned channel = 0; channel < channels; ++channel) samples.push_back(value(frame, channel));
    }
    EXPECT_EQ(sf_writef_double(file, samples.data(), sf_count_t(frames)), sf_count_t(frames));
    sf_close(file);
}

std::function<double(std::size_t, unsigned)> sine(double hertz, unsigned rate, double level = 0.5) {
    return [=](std::size_t frame, unsigned) { return level * std::sin(2 * M_PI * hertz * double(frame) / rate); };
}

std::string rawSine(double hertz, unsigned rate, unsigned channels, std::size_t frames, double level = 0.5) {
    std::string bytes;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const auto sample = static_cast<std::int16_t>(std::lrint(level * 32767 * std::sin(2 * M_PI * hertz * double(frame) / rate)));
        for (unsigned channel = 0; channel < channels; ++channel) {
            bytes.push_back(char(sample & 0xff));
            bytes.push_back(char((sample >> 8) & 0xff));
        }
    }
    return bytes;
}

// The part of a recording after its sound begins (and after the
// converter's first moments).
std::vector<double> afterOnset(const std::vector<double>& samples, std::size_t settle = 256) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > 0.05) {
            const std::size_t from = std::min(samples.size(), i + settle);
            return std::vector<double>(samples.begin() + std::ptrdiff_t(from), samples.end());
        }
    }
    return {};
}

TEST(WaveInSound, ToneDeliversItsFrequencyAtHalfOfFullScaleInEveryFormat) {
    const struct {
        const char* device;
        std::vector<double> tones;
        unsigned rate, channels, bits;
    } cases[] = {
        {"tone:1000", {1000}, 16000, 1, 16},
        {"tone:1000", {1000}, 8000, 1, 8},
        {"tone:3000", {3000}, 44100, 2, 16},
        {"tone:250", {250}, 1000, 1, 16},
        {"tone:20000", {20000}, 192000, 2, 8},
        {"tone:400+2500", {400, 2500}, 16000, 1, 16},  // both on a bin at 800 points
    };
    for (const auto& row : cases) {
        const WAVEFORMATEX format = pcmFormat(row.rate, row.channels, row.bits);
        const std::string what = std::string(row.device) + " at " + wavetest::formatText(format);
        const auto bytes = record(row.device, format, kPoints);
        for (unsigned channel = 0; channel < row.channels; ++channel) {
            const auto samples = channelOf(bytes, format, channel);
            ASSERT_EQ(samples.size(), kPoints) << what;
            if (row.tones.size() == 1) {
                expectStrongest(samples, row.tones[0], row.rate, what);
                EXPECT_NEAR(wavetest::peakLevel(samples), 0.5, 0.02) << what;
                continue;
            }
            // Several tones: each is a peak as strong as the others, and
            // nothing else stands out.
            const std::vector<double> window(samples.begin(), samples.begin() + 800);
            const auto spectrum = wavetest::magnitudes(window);
            const double strongest = *std::max_element(spectrum.begin() + 1, spectrum.end());
            for (std::size_t bin = 1; bin < spectrum.size(); ++bin) {
                bool isTone = false;
                for (double tone : row.tones) isTone |= std::fabs(double(bin) - binOf(tone, 800, row.rate)) < 0.5;
                if (isTone) EXPECT_GT(spectrum[bin], 0.9 * strongest) << what << ": bin " << bin;
                else EXPECT_LT(spectrum[bin], 0.05 * strongest) << what << ": bin " << bin;
            }
        }
    }
}

TEST(WaveInSound, SilenceIsZeroAtSixteenBitsAnd0x80AtEight) {
    // A FIFO that nobody writes: after a tenth of a second the device
    // records silence.
    testsupport::TempDir folder;
    const std::string fifo = folder.file("quiet.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (unsigned bits : {8u, 16u}) {
        const WAVEFORMATEX format = pcmFormat(8000, 2, bits);
        const auto bytes = record("raw:" + fifo, format, 800);
        ASSERT_EQ(bytes.size(), 800u * format.nBlockAlign);
        const unsigned char silence = bits == 8 ? 0x80 : 0x00;
        const auto loud = std::count_if(bytes.begin(), bytes.end(), [&](unsigned char b) { return b != silence; });
        EXPECT_EQ(loud, 0) << bits << "-bit silence";
    }
}

TEST(WaveInSound, FileIsConvertedToTheRateChannelsAndWidthAskedFor) {
    testsupport::TempDir folder;
    const struct {
        const char* name;
        int type;
        unsigned fileRate, fileChannels;
        double hertz;
        unsigned rate, channels, bits;
    } cases[] = {
        {"down.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, 1500, 16000, 1, 16},
        {"up.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 1, 700, 44100, 2, 8},
        {"odd.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 11025, 1, 1000, 8000, 1, 16},
    };
    for (const auto& row : cases) {
        const std::string path = folder.file(row.name);
        writeSound(path, row.type, row.fileRate, row.fileChannels, row.fileRate, sine(row.hertz, row.fileRate));
        const WAVEFORMATEX format = pcmFormat(row.rate, row.channels, row.bits);
        const auto bytes = record("file:" + path, format, kPoints, 512);
        for (unsigned channel = 0; channel < row.channels; ++channel) {
            const auto samples = channelOf(bytes, format, channel);
            const std::string what = std::string(row.name) + " at " + wavetest::formatText(format);
            expectStrongest(samples, row.hertz, row.rate, what);
            EXPECT_NEAR(wavetest::peakLevel(samples), 0.5, 0.03) << what;
        }
    }
}

TEST(WaveInSound, FileChannelsBecomeTheChannelsAskedFor) {
    // Left a 1000 Hz tone at half scale, right silent.
    testsupport::TempDir folder;
    const std::string path = folder.file("left.wav");
    writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 2, 16000, [](std::size_t frame, unsigned channel) {
        return channel == 0 ? 0.5 * std::sin(2 * M_PI * 1000.0 * double(frame) / 16000) : 0.0;
    });
    const WAVEFORMATEX stereo = pcmFormat(16000, 2, 16);
    auto bytes = record("file:" + path, stereo, kPoints);
    EXPECT_NEAR(wavetest::peakLevel(channelOf(bytes, stereo, 0)), 0.5, 0.01) << "left stays left";
    EXPECT_LT(wavetest::peakLevel(channelOf(bytes, stereo, 1)), 0.001) << "right stays silent";

    const WAVEFORMATEX mono = pcmFormat(16000, 1, 16);
    bytes = record("file:" + path, mono, kPoints);
    EXPECT_NEAR(wavetest::peakLevel(channelOf(bytes, mono, 0)), 0.25, 0.01) << "mono is the mean of both";
    expectStrongest(channelOf(bytes, mono, 0), 1000, 16000, "mono from stereo");
}

TEST(WaveInSound, FileLoopsAndIsPacedInRealTime) {
    // 0.1 s of 1000 Hz (100 whole cycles), recorded for 0.5 s: it plays
    // five times, seamlessly, and the recording takes at least real time.
    testsupport::TempDir folder;
    const std::string path = folder.file("short.wav");
    writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, 1600, sine(1000, 16000));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    const auto started = std::chrono::steady_clock::now();
    const auto bytes = record("file:" + path, format, 8000);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, 400ms) << "0.5 s of sound must not arrive faster than it plays";
    const auto samples = channelOf(bytes, format, 0);
    ASSERT_EQ(samples.size(), 8000u);
    for (std::size_t start : {0u, 3000u, 6976u}) {  // the first play, a later one, the end
        const std::vector<double> part(samples.begin() + std::ptrdiff_t(start), samples.end());
        expectStrongest(part, 1000, 16000, "from frame " + std::to_string(start));
        EXPECT_NEAR(wavetest::peakLevel(part), 0.5, 0.01);
    }
}

TEST(WaveInSound, AFileThatCanNoLongerBeReadStopsTheRecordingWithAMessage) {
    testsupport::TempDir folder;
    const std::string path = folder.file("vanishing.wav");
    writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, 1600, sine(1000, 16000));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 320);
    testing::internal::CaptureStderr();
    ASSERT_EQ(recorder.open(("file:" + path).c_str()), MMSYSERR_NOERROR);
    ASSERT_TRUE(recorder.waitFor(320));
    ASSERT_EQ(truncate(path.c_str(), 0), 0);
    // Sound stops coming: wait until nothing arrived for half a second.
    std::size_t before = 0;
    const auto end = std::chrono::steady_clock::now() + 20s;
    for (;;) {
        before = recorder.recorded().size();
        std::this_thread::sleep_for(500ms);
        if (recorder.recorded().size() == before || std::chrono::steady_clock::now() > end) break;
    }
    EXPECT_EQ(recorder.recorded().size(), before) << "the recording went on after the file was emptied";
    recorder.close();  // the reset and the close still work
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_NE(said.find("can no longer be read"), std::string::npos) << said;
    EXPECT_NE(said.find("recording stopped"), std::string::npos) << said;
}

TEST(WaveInSound, RawFromAFifoAsAMusicPlayerWritesIt) {
    testsupport::TempDir folder;
    const std::string fifo = folder.file("music.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> stop{false};
    // 44100 Hz stereo 16-bit, 2000 Hz, in 10 ms writes as a player does.
    std::thread player([&] {
        const int out = open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(out, 0);
        const std::string sound = rawSine(2000, 44100, 2, 44100);  // 1 s, whole cycles
        std::size_t at = 0;
        while (!stop) {
            const std::size_t count = 441 * 4;
            if (write(out, sound.data() + at, count) != ssize_t(count)) break;
            at = (at + count) % sound.size();
        }
        close(out);
    });
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    std::vector<double> samples;
    {
        Recorder recorder(format, 640);
        EXPECT_EQ(recorder.open(("raw:" + fifo).c_str()), MMSYSERR_NOERROR);
        EXPECT_TRUE(recorder.waitFor(16000 * 2));  // 1 s
        samples = afterOnset(channelOf(recorder.recorded(), format, 0));
        stop = true;
        player.join();  // the device drains the FIFO until the player sees the stop
    }
    expectStrongest(samples, 2000, 16000, "raw from a FIFO");
    EXPECT_NEAR(wavetest::peakLevel(samples), 0.5, 0.02);
}

// A player whose writes stall for 400 ms and then catch up with its own
// schedule, as one does after a hiccup: the sound that piled up in the FIFO
// is read at once, none of it becomes silence, and afterwards the device
// keeps within a buffer or two of the writer. Each sample is its frame's
// number (from 1), so a recording shows what it lags and what it lost.
TEST(WaveInSound, RawFromAFifoCatchesUpWithAWriterThatStalled) {
    testsupport::TempDir folder;
    const std::string fifo = folder.file("hiccup.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    constexpr unsigned kRate = 16000;
    constexpr std::size_t kStep = kRate / 100;  // 10 ms writes
    constexpr std::size_t kBufferFrames = 160;
    std::atomic<std::size_t> written{0};
    std::atomic<bool> stop{false};
    const WAVEFORMATEX format = pcmFormat(kRate, 1, 16);
    Recorder recorder(format, kBufferFrames * 2, 4);
    ASSERT_EQ(recorder.open(("raw:" + fifo + ",16000,1").c_str()), MMSYSERR_NOERROR);
    std::thread player([&] {
        const int out = open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(out, 0);
        const auto start = std::chrono::steady_clock::now();
        std::vector<unsigned char> bytes(kStep * 2);
        bool stalled = false;
        while (!stop && written + kStep < 32767) {
            const std::size_t first = written;
            if (!stalled && first >= kRate * 3 / 10) {  // after 0.3 s
                std::this_thread::sleep_for(400ms);
                stalled = true;
            }
            for (std::size_t i = 0; i < kStep; ++i) {
                const auto value = static_cast<std::uint16_t>(first + i + 1);
                bytes[2 * i] = static_cast<unsigned char>(value & 0xff);
                bytes[2 * i + 1] = static_cast<unsigned char>(value >> 8);
            }
            if (write(out, bytes.data(), bytes.size()) != ssize_t(bytes.size())) break;
            written = first + kStep;
            std::this_thread::sleep_until(start + std::chrono::microseconds(written * 1000000 / kRate));
        }
        close(out);
    });
    // 1.5 s of the writer's sound: 0.3 s, the stall, and 1.2 s in real time
    // after it, the first 0.4 s of which came in one burst.
    EXPECT_TRUE(wavetest::waitUntil([&] { return written >= kRate * 3 / 2; }, 10s));
    const std::size_t writerAt = written;
    const auto samples = recorder.recorded();
    stop = true;
    player.join();
    recorder.close();

    std::vector<std::size_t> frames;  // the frame numbers recorded, silence left out
    for (std::size_t at = 0; at + 1 < samples.size(); at += 2) {
        const auto value = std::size_t(samples[at] | (samples[at + 1] << 8));
        if (value != 0) frames.push_back(value);
    }
    ASSERT_FALSE(frames.empty()) << "no sound arrived";
    std::size_t lost = 0;
    for (std::size_t i = 1; i < frames.size(); ++i) lost += frames[i] - frames[i - 1] - 1;
    EXPECT_EQ(lost, 0u) << "frames the writer wrote were not recorded";
    EXPECT_EQ(frames.front(), 1u);
    // What was written and not yet handed over: at most what waits in the
    // device's buffers and its read, and a write of the writer.
    EXPECT_LE(writerAt - frames.back(), 2 * kBufferFrames + kStep + kRate / 100)
        << "the device is " << (writerAt - frames.back()) * 1000 / kRate << " ms behind the writer";
}

TEST(WaveInSound, RawFileWithItsOwnRateAndChannels) {
    testsupport::TempDir folder;
    const std::string path = folder.file("mono.raw");
    testsupport::writeFile(path, rawSine(1200, 22050, 1, 4410));  // 0.2 s, 240 whole cycles
    const WAVEFORMATEX format = pcmFormat(16000, 2, 16);
    const auto bytes = record("raw:" + path + ",22050,1", format, kPoints, 512);
    for (unsigned channel = 0; channel < 2; ++channel) {
        expectStrongest(channelOf(bytes, format, channel), 1200, 16000, "channel " + std::to_string(channel));
    }
}

TEST(WaveInSound, RawFileThatIsEmptiedRecordsSilence) {
    testsupport::TempDir folder;
    const std::string path = folder.file("emptied.raw");
    testsupport::writeFile(path, rawSine(1000, 16000, 1, 1600));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 320);
    ASSERT_EQ(recorder.open(("raw:" + path + ",16000,1").c_str()), MMSYSERR_NOERROR);
    ASSERT_TRUE(recorder.waitFor(320));
    ASSERT_EQ(truncate(path.c_str(), 0), 0);
    std::this_thread::sleep_for(100ms);  // what was read before it was emptied
    recorder.forget();
    ASSERT_TRUE(recorder.waitFor(3200)) << "the recording stopped when the file was emptied";
    const auto samples = channelOf(recorder.recorded(), format, 0);
    EXPECT_EQ(wavetest::peakLevel(samples), 0.0);
}

TEST(WaveInSound, RawFromStandardInputRecordsSilenceOnceItEnds) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const int savedInput = dup(STDIN_FILENO);
    ASSERT_EQ(dup2(pipeEnds[0], STDIN_FILENO), STDIN_FILENO);
    close(pipeEnds[0]);
    // 0.3 s of 900 Hz at the default 44100 Hz stereo, then the end.
    const std::string sound = rawSine(900, 44100, 2, 13230);
    ASSERT_EQ(write(pipeEnds[1], sound.data(), sound.size()), ssize_t(sound.size()));
    close(pipeEnds[1]);

    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    testing::internal::CaptureStderr();
    std::vector<double> samples;
    {
        Recorder recorder(format, 640);
        EXPECT_EQ(recorder.open("raw:-"), MMSYSERR_NOERROR);
        EXPECT_TRUE(recorder.waitFor(16000 * 2 * 8 / 10));  // 0.8 s
        samples = channelOf(recorder.recorded(), format, 0);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    dup2(savedInput, STDIN_FILENO);
    close(savedInput);

    expectStrongest(afterOnset(samples), 900, 16000, "standard input");
    ASSERT_GE(samples.size(), 12800u);
    const std::vector<double> tail(samples.end() - 3200, samples.end());  // the last 0.2 s
    EXPECT_LT(wavetest::peakLevel(tail), 0.001) << "silence after the end";
    EXPECT_NE(said.find("raw:-"), std::string::npos) << said;
    EXPECT_NE(said.find("ended"), std::string::npos) << said;
}

TEST(WaveInSound, DemoIsLivelyAndStaysWithinFullScale) {
    // Over eight seconds the demo plays different things, is never silent
    // for long and never reaches full scale.
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 640);
    ASSERT_EQ(recorder.open("demo"), MMSYSERR_NOERROR);
    ASSERT_TRUE(recorder.waitFor(16000 * 2 * 8));
    const auto samples = channelOf(recorder.recorded(), format, 0);
    recorder.close();
    std::vector<std::size_t> strongest;
    for (std::size_t second = 0; second < 8; ++second) {
        // A third of a second covers at least one note, chord or burst.
        const auto begin = samples.begin() + std::ptrdiff_t(second * 16000);
        const std::vector<double> part(begin, begin + 16000 / 3);
        EXPECT_GT(wavetest::peakLevel(part), 0.1) << "second " << second << " is nearly silent";
        EXPECT_LT(wavetest::peakLevel(part), 0.9) << "second " << second << " comes near clipping";
        strongest.push_back(wavetest::strongestBin(std::vector<double>(begin, begin + kPoints)));
    }
    std::sort(strongest.begin(), strongest.end());
    EXPECT_GE(std::unique(strongest.begin(), strongest.end()) - strongest.begin(), 4)
        << "the strongest frequency should change as the demo goes on";
}

}  // namespace
