// What every wave-in device gives the device engine: floating-point PCM at
// a rate and channel count of its own choosing, read at its own pace. The
// engine (pcm_stream.cpp) turns it into the format that waveInOpen asked
// for, so a device never converts more than it wants to.
#pragma once

#include <cstddef>
#include <string>

namespace subset::wavein {

// Frames a second and interleaved channels of a run of PCM.
struct PcmShape {
    unsigned rate = 0;
    unsigned channels = 0;
};

// One kind of device. Every call gives a message in `error` when it
// returns false or null; the message names the thing that failed and why.
struct SourceOps {
    // Checks the text after "name:" (empty when there is none) without
    // touching the machine, so that a mistyped device text is caught at once.
    bool (*check)(const std::string& argument, std::string& error);
    // Opens the device for the shape the caller wants; the device may answer
    // with another shape in `produced`. Returns its state, or null.
    void* (*open)(const std::string& argument, const PcmShape& wanted, PcmShape& produced, std::string& error);
    // Fills up to `most` frames (produced.channels floats each, -1 to 1),
    // waiting as the device's own clock asks, and returns how many: a live
    // device (a FIFO, the sound server) gives what has arrived as soon as
    // something has, so that its sound is handed on with one wake-up per
    // delivery; the others fill all. Returns within a fraction of a second
    // while the device works; 0 when it has failed for good.
    std::size_t (*read)(void* source, float* out, std::size_t most, std::string& error);
    void (*close)(void* source);
    // A live device only (null for the others): gives what has arrived, up
    // to `most` frames, without waiting; 0 when nothing has. kReadNeeded
    // when a read must come now (the device moves to a new source, or
    // failed, and only a read carries that out). A device that turns out to
    // fill every read (raw: on a plain file) answers kFillsEveryRead.
    std::size_t (*readNow)(void* source, float* out, std::size_t most);
};

inline constexpr std::size_t kFillsEveryRead = static_cast<std::size_t>(-1);
inline constexpr std::size_t kReadNeeded = static_cast<std::size_t>(-2);

extern const SourceOps pulseSource;
extern const SourceOps alsaSource;
extern const SourceOps fileSource;
extern const SourceOps rawSource;
extern const SourceOps toneSource;
extern const SourceOps demoSource;
extern const SourceOps noneSource;
extern const SourceOps playingSource;

// Whether the pulse device with this argument records what is playing (1:
// the monitor of an output) or an input such as a microphone (0); asks the
// server quietly, and goes by the name when it does not answer.
int pulseRecordsWhatPlays(const std::string& argument);

// Whether the sound server has a default output whose monitor records now;
// asks quietly.
bool defaultOutputAnswers();

}  // namespace subset::wavein
