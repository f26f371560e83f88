// A device together with the conversion to the format that waveInOpen asked
// for: channels first (mono is the mean of all channels, stereo takes the
// first two or doubles a mono one), then the rate (libsoxr), then the
// sample width (16-bit signed, or 8-bit unsigned with silence at 0x80).
//
// Precision: every device hands over floats where full scale is 1.0 and one
// 16-bit step is 1/32768 (how libsndfile, PulseAudio and ALSA scale them,
// and how raw: reads its samples). The width is made with that same factor
// both ways, so full scale maps to full scale (+1.0 to 32767 or 0xFF, -1.0
// to -32768 or 0x00) and a 16-bit input whose rate and channel count are
// those asked for arrives bit-exact; an 8-bit input asked for as 8 bits
// does too. A float holds 24 bits, so a 24-bit input keeps its top 16 (or 8)
// bits, rounded to the nearest step. Mixing channels down, or another rate,
// rounds each result to the nearest step of the width asked for.
#pragma once

#include <soxr.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "wavein/source.h"

namespace subset::wavein {

struct WantedPcm {
    unsigned rate = 0;
    unsigned channels = 0;
    unsigned bits = 0;  // 8 or 16
    unsigned blockAlign() const { return channels * (bits / 8); }
};

class PcmStream {
public:
    // Takes the opened device; closes it when the stream ends. A shape that
    // no stream takes (a rate or a channel count out of bounds) is refused
    // with a message, and the device closed.
    static std::unique_ptr<PcmStream> create(const SourceOps& ops, void* source, PcmShape produced,
                                             WantedPcm wanted, std::string& error);
    ~PcmStream();
    PcmStream(const PcmStream&) = delete;
    PcmStream& operator=(const PcmStream&) = delete;

    // The most frames that one read delivers.
    std::size_t largestRead() const { return largestRead_; }

    // Fills up to `most` frames of the wanted format (blockAlign bytes each)
    // and returns how many: at least one. A live device's sound (a FIFO,
    // the sound server) is handed on at a steady pace whatever the rhythm
    // of its deliveries (see readPaced); the others' as they fill. 0 with a
    // message when the device has failed for good.
    std::size_t read(unsigned char* out, std::size_t most, std::string& error);

private:
    using Clock = std::chrono::steady_clock;

    PcmStream(const SourceOps& ops, void* source, PcmShape produced, WantedPcm wanted);
    std::size_t readPaced(unsigned char* out, std::size_t most, std::string& error);
    // Takes in what the live device has now; false when it fills every read instead.
    bool takeInWhatArrived();
    std::size_t handOn(unsigned char* out, std::size_t frames);
    bool refill(std::size_t framesWanted, std::string& error);
    void mapChannels(std::size_t frames);
    void appendConverted(const float* frames, std::size_t count);
    void quantise(unsigned char* out, std::size_t frames) const;

    const SourceOps& ops_;
    void* source_;
    PcmShape produced_;
    WantedPcm wanted_;
    std::size_t largestRead_;
    std::size_t largestSourceRead_;
    soxr_t resampler_ = nullptr;
    std::vector<float> fromSource_;  // produced_.channels per frame
    std::vector<float> mapped_;      // wanted_.channels per frame, source rate
    std::vector<float> ready_;       // wanted_.channels per frame, wanted rate
    std::size_t readyFrames_ = 0;
    // The pace of a live device's sound (readPaced).
    bool paced_;
    std::size_t step_;  // wanted frames handed on each time
    Clock::time_point nextStep_{};
    std::size_t largestArrival_ = 0;  // wanted frames, decaying
    unsigned long long sourceFramesTaken_ = 0;
    Clock::time_point lastArrival_{};
    bool waitedForDevice_ = false;
    bool readNeeded_ = false;  // the device asked for a read (kReadNeeded)
};

}  // namespace subset::wavein
