// playing: what is playing on the sound server's default output, the
// monitor of its default sink (the pulse device with "@DEFAULT_MONITOR@",
// which follows the default output when it changes). Where the server has
// no output to record from (no server, no output), it says so on standard
// error and records from the default device instead, as when nothing was
// chosen.
#include <cstdio>

#include "wavein/device_table.h"
#include "wavein/source.h"

namespace subset::wavein {

namespace {

constexpr const char* kDefaultMonitor = "@DEFAULT_MONITOR@";

struct PlayingInput {
    const SourceOps* ops;  // the sound server's, or the default device's after a fall-back
    void* source;
};

bool check(const std::string& argument, std::string& error) {
    if (argument.empty()) return true;
    error = "\"playing:" + argument + "\": playing takes nothing after it (pulse:SINK.monitor records one output)";
    return false;
}

void* open(const std::string&, const PcmShape& wanted, PcmShape& produced, std::string& error) {
    std::string why;
    if (void* monitor = pulseSource.open(kDefaultMonitor, wanted, produced, why))
        return new PlayingInput{&pulseSource, monitor};
    std::fprintf(stderr, "wave-in: playing: the sound server has no output to record (%s); recording from the default "
                         "device instead\n", why.c_str());
    const SourceOps* opened = nullptr;
    std::string openedText;
    void* fallback = openChosenDevice(DeviceChoice{}, wanted, produced, opened, openedText, error);
    return fallback ? new PlayingInput{opened, fallback} : nullptr;
}

std::size_t read(void* source, float* out, std::size_t most, std::string& error) {
    auto& input = *static_cast<PlayingInput*>(source);
    return input.ops->read(input.source, out, most, error);
}

std::size_t readNow(void* source, float* out, std::size_t most) {
    auto& input = *static_cast<PlayingInput*>(source);
    return input.ops->readNow ? input.ops->readNow(input.source, out, most) : kFillsEveryRead;
}

void close(void* source) {
    auto* input = static_cast<PlayingInput*>(source);
    input->ops->close(input->source);
    delete input;
}

}  // namespace

bool defaultOutputAnswers() {
    const PcmShape probe{44100, 1};
    PcmShape produced;
    std::string error;
    void* monitor = pulseSource.open(kDefaultMonitor, probe, produced, error);
    if (monitor) pulseSource.close(monitor);
    return monitor != nullptr;
}

const SourceOps playingSource = {check, open, read, close, readNow};

}  // namespace subset::wavein
