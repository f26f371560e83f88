// The wave-in devices that read what a person hands them: `file:` with
// random bytes behind a WAV or FLAC header, and `raw:` with random bytes,
// each read through the stream that converts to the format asked for.
// Whatever the bytes, a read fills what it was asked for or fails with a
// message. When a 16-bit WAV or raw input already has the rate and the
// channel count asked for, the stream must hand its bytes on unchanged
// (from the start again at the end of the file).

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "scratch.h"
#include "wavein/pcm_stream.h"
#include "wavein/source.h"

namespace {

using subset::wavein::PcmShape;
using subset::wavein::PcmStream;
using subset::wavein::WantedPcm;

[[noreturn]] void fault(const char* what, const std::string& detail) { fuzzing::fault("sound input", what, detail); }

void putLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xff);
}

// A WAV header: a format chunk and the data chunk's head, sized as given.
std::string wavHeader(unsigned formatTag, unsigned channels, unsigned rate, unsigned bits, std::uint32_t dataSize) {
    const unsigned blockAlign = channels * ((bits + 7) / 8);
    std::string header = "RIFF";
    putLittleEndian(header, 36 + dataSize, 4);
    header += "WAVEfmt ";
    putLittleEndian(header, 16, 4);
    putLittleEndian(header, formatTag, 2);
    putLittleEndian(header, channels, 2);
    putLittleEndian(header, rate, 4);
    putLittleEndian(header, rate * blockAlign, 4);
    putLittleEndian(header, blockAlign, 2);
    putLittleEndian(header, bits, 2);
    header += "data";
    putLittleEndian(header, dataSize, 4);
    return header;
}

// A FLAC stream's marker and STREAMINFO block, its fields from the input.
std::string flacHeader(fuzzing::FuzzInput& input, unsigned channels, unsigned rate) {
    std::string header = "fLaC";
    header += char(0x80);  // the last metadata block: STREAMINFO
    putLittleEndian(header, 0, 1);
    putLittleEndian(header, 0, 1);
    header += char(34);
    std::string info(34, '\0');
    for (char& c : info) c = char(input.byte());
    // Rate (20 bits), channels - 1 (3 bits) and bits - 1 (5 bits) at their places.
    const unsigned bits = 16;
    info[10] = char(rate >> 12);
    info[11] = char(rate >> 4);
    info[12] = char(((rate & 0xf) << 4) | (((channels - 1) & 7) << 1) | (((bits - 1) >> 4) & 1));
    info[13] = char((((bits - 1) & 0xf) << 4) | (info[13] & 0xf));
    return header + info;
}

constexpr unsigned kRates[] = {8000, 11025, 16000, 22050, 44100, 48000};

// A rate of the common ones, or any in [lowest, highest].
unsigned rateFrom(fuzzing::FuzzInput& input, unsigned lowest, unsigned highest) {
    const std::uint8_t choice = input.byte();
    if (choice < 240) return kRates[choice % std::size(kRates)];
    return input.inRange(lowest, highest);
}

// What waveInOpen takes: the stream is never asked for another rate.
constexpr unsigned kLowestWantedRate = 1000;
constexpr unsigned kHighestWantedRate = 192000;

// The bytes a faithful stream gives: the input's whole frames, again and again.
void expectUnchanged(const std::vector<unsigned char>& got, const std::string& source, std::size_t& at) {
    for (unsigned char byte : got) {
        if (byte != static_cast<unsigned char>(source[at % source.size()]))
            fault("a 16-bit input of the format asked for changed on its way", "at byte " + std::to_string(at));
        ++at;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    enum Kind { Wav16, WavOther, Flac, Raw, KindCount };
    const auto kind = Kind(input.byte() % KindCount);
    const unsigned channels = input.inRange(1, 8);
    const unsigned rate = rateFrom(input, 1, 400000);
    WantedPcm wanted;
    const bool sameRate = input.flag() && rate >= kLowestWantedRate && rate <= kHighestWantedRate;
    wanted.rate = sameRate ? rate : rateFrom(input, kLowestWantedRate, kHighestWantedRate);
    wanted.channels = input.flag() ? std::min(channels, 2u) : input.inRange(1, 2);
    wanted.bits = input.flag() ? 16 : 8;

    const std::string path = (fuzzing::scratchFolder() / "input").string();
    std::string argument = path;
    std::string contents;
    std::string payload;  // the bytes a faithful stream repeats, when it must
    const subset::wavein::SourceOps* ops = &subset::wavein::fileSource;
    switch (kind) {
    case Wav16: {
        const std::string body = input.rest();
        const std::size_t whole = body.size() / (channels * 2) * (channels * 2);
        contents = wavHeader(1, channels, rate, 16, std::uint32_t(whole)) + body.substr(0, whole);
        payload = body.substr(0, whole);
        break;
    }
    case WavOther: {
        static constexpr unsigned kFormats[][2] = {{1, 8}, {1, 24}, {1, 32}, {3, 32}, {3, 64}, {1, 12}, {6, 8}};
        const auto& format = kFormats[input.byte() % std::size(kFormats)];
        const std::uint32_t declared = input.flag() ? input.number<std::uint32_t>() : std::uint32_t(input.left());
        contents = wavHeader(format[0], channels, rate, format[1], declared) + input.rest();
        break;
    }
    case Flac:
        contents = flacHeader(input, channels, rate);
        contents += input.rest();
        break;
    case Raw: {
        ops = &subset::wavein::rawSource;
        // Now and then an argument of the fuzzer's own, checked as the device text is.
        if (input.byte() < 16) argument = path + input.text(16);
        else argument = path + "," + std::to_string(rate) + "," + std::to_string(channels);
        contents = input.rest();
        std::string error;
        const bool accepted = ops->check(argument, error);
        if (!accepted && error.empty()) fault("a refused argument has no message", argument);
        if (argument == path + "," + std::to_string(rate) + "," + std::to_string(channels) && rate >= 1000 &&
            rate <= 384000 && contents.size() >= channels * 2)
            payload = contents;
        break;
    }
    case KindCount: break;
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << contents;
    }

    std::string error;
    PcmShape produced;
    void* source = ops->open(argument, PcmShape{wanted.rate, wanted.channels}, produced, error);
    if (!source) {
        if (error.empty()) fault("a failed open has no message", argument);
        return 0;
    }
    if (produced.rate == 0 || produced.channels == 0) fault("an open device produces nothing", argument);
    auto stream = PcmStream::create(*ops, source, produced, wanted, error);
    if (!stream) {
        if (error.empty()) fault("a stream that cannot convert has no message", argument);
        return 0;
    }
    const bool unchanged = !payload.empty() && wanted.bits == 16 && wanted.rate == produced.rate &&
                           wanted.channels == produced.channels;
    std::size_t at = 0;
    for (int reads = 0; reads < 4; ++reads) {
        const std::size_t frames = 1 + (reads * 997 + size) % (2 * stream->largestRead());
        std::vector<unsigned char> out(frames * wanted.blockAlign());
        const std::size_t got = stream->read(out.data(), frames, error);
        if (got == 0) {
            if (error.empty()) fault("a failed read has no message", argument);
            return 0;
        }
        if (got > frames) fault("a read gave more frames than asked for", argument);
        out.resize(got * wanted.blockAlign());
        if (unchanged) expectUnchanged(out, payload, at);
    }
    return 0;
}
