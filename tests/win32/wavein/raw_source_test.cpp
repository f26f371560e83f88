// What the raw: device hands on from a FIFO and from a plain file, read by
// read by read: a FIFO's sound goes on as soon as a whole frame of it has
// come, unpadded and whole across split writes; a plain file fills every
// read, looping.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "wavein/source.h"

namespace {

using subset::wavein::PcmShape;
using subset::wavein::rawSource;

// Stereo frames whose samples are 50 * frame + channel, as little-endian bytes.
std::string numberedFrames(int first, int count) {
    std::string bytes;
    for (int frame = first; frame < first + count; ++frame)
        for (int channel = 0; channel < 2; ++channel) {
            const auto sample = static_cast<std::uint16_t>(50 * frame + channel);
            bytes += static_cast<char>(sample & 0xff);
            bytes += static_cast<char>(sample >> 8);
        }
    return bytes;
}

void expectNumbered(const std::vector<float>& out, std::size_t frames, int first) {
    for (std::size_t i = 0; i < frames; ++i)
        for (int channel = 0; channel < 2; ++channel)
            ASSERT_EQ(out[2 * i + channel], float(50 * (first + int(i)) + channel) / 32768.0f)
                << "frame " << i << " channel " << channel;
}

struct OpenedRaw {
    explicit OpenedRaw(const std::string& argument) {
        PcmShape produced;
        source = rawSource.open(argument, PcmShape{44100, 2}, produced, error);
    }
    ~OpenedRaw() {
        if (source) rawSource.close(source);
    }
    std::size_t read(std::vector<float>& out, std::size_t most) {
        out.assign(most * 2, -2.0f);
        return rawSource.read(source, out.data(), most, error);
    }
    void* source = nullptr;
    std::string error;
};

TEST(RawSource, AFifoReadHandsOnWhatHasComeWithoutWaitingForMoreOrPadding) {
    testsupport::TempDir folder;
    const std::string fifo = folder.file("player.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    OpenedRaw raw(fifo + ",44100,2");
    ASSERT_NE(raw.source, nullptr) << raw.error;
    const int player = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(player, 0);

    // 100 frames and half of the next one: the read gives the 100.
    std::string sound = numberedFrames(1, 100) + numberedFrames(101, 1).substr(0, 2);
    ASSERT_EQ(write(player, sound.data(), sound.size()), ssize_t(sound.size()));
    std::vector<float> out;
    ASSERT_EQ(raw.read(out, 441), 100u) << raw.error;
    expectNumbered(out, 100, 1);
    EXPECT_EQ(out[200], -2.0f) << "nothing is written past the frames handed on";

    // The rest of the split frame and 50 more: the frame comes out whole.
    sound = numberedFrames(101, 1).substr(2) + numberedFrames(102, 50);
    ASSERT_EQ(write(player, sound.data(), sound.size()), ssize_t(sound.size()));
    ASSERT_EQ(raw.read(out, 441), 51u) << raw.error;
    expectNumbered(out, 51, 101);

    // More than one read holds: the reads take it in order, at most what was asked.
    sound = numberedFrames(152, 300);
    ASSERT_EQ(write(player, sound.data(), sound.size()), ssize_t(sound.size()));
    ASSERT_EQ(raw.read(out, 200), 200u) << raw.error;
    expectNumbered(out, 200, 152);
    ASSERT_EQ(raw.read(out, 200), 100u) << raw.error;
    expectNumbered(out, 100, 352);
    close(player);
}

TEST(RawSource, APlainFileFillsEveryReadLooping) {
    testsupport::TempDir folder;
    const std::string path = folder.file("short.raw");
    std::ofstream(path, std::ios::binary) << numberedFrames(1, 100);
    OpenedRaw raw(path + ",44100,2");
    ASSERT_NE(raw.source, nullptr) << raw.error;
    std::vector<float> out;
    ASSERT_EQ(raw.read(out, 150), 150u) << raw.error;
    expectNumbered(out, 100, 1);
    std::vector<float> looped(out.begin() + 200, out.end());
    expectNumbered(looped, 50, 1);
}

}  // namespace
