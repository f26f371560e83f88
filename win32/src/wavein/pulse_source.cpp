// pulse[:SOURCE]: records from the sound server (PulseAudio, or PipeWire's
// PulseAudio service) through its simple API. Without SOURCE it records the
// server's default source; "@DEFAULT_MONITOR@" records what is playing, and
// "NAME.monitor" what plays on one output. The server converts to the rate
// and channels asked for and delivers every 10 ms. When the server goes
// away the recording stops with the server's reason.
#include <pulse/error.h>
#include <pulse/simple.h>

#include <cerrno>

#include "wavein/source.h"

namespace win32subset::wavein {

namespace {

struct PulseInput {
    pa_simple* stream;
    std::string name;
    unsigned channels;
};

std::string deviceText(const std::string& argument) { return argument.empty() ? "pulse" : "pulse:" + argument; }

bool check(const std::string&, std::string&) { return true; }

void* open(const std::string& argument, const PcmShape& wanted, PcmShape& produced, std::string& error) {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, wanted.rate, static_cast<uint8_t>(wanted.channels)};
    pa_buffer_attr buffering{};
    buffering.maxlength = static_cast<uint32_t>(-1);
    buffering.tlength = static_cast<uint32_t>(-1);
    buffering.prebuf = static_cast<uint32_t>(-1);
    buffering.minreq = static_cast<uint32_t>(-1);
    buffering.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(10000, &spec));
    int failure = 0;
    pa_simple* stream = pa_simple_new(nullptr, program_invocation_short_name, PA_STREAM_RECORD,
                                      argument.empty() ? nullptr : argument.c_str(), "wave-in recording", &spec,
                                      nullptr, &buffering, &failure);
    if (!stream) {
        error = deviceText(argument) + ": cannot record from the sound server (" + pa_strerror(failure) + ")";
        if (failure == PA_ERR_NOENTITY) error += "; `pactl list short sources` lists the sources";
        if (failure == PA_ERR_CONNECTIONREFUSED) error += "; is a sound server running?";
        return nullptr;
    }
    produced = PcmShape{wanted.rate, wanted.channels};
    return new PulseInput{stream, deviceText(argument), wanted.channels};
}

bool read(void* source, float* out, std::size_t frames, std::string& error) {
    auto* input = static_cast<PulseInput*>(source);
    int failure = 0;
    if (pa_simple_read(input->stream, out, frames * input->channels * sizeof(float), &failure) < 0) {
        error = input->name + ": the sound server stopped answering (" + pa_strerror(failure) + ")";
        return false;
    }
    return true;
}

void close(void* source) {
    auto* input = static_cast<PulseInput*>(source);
    pa_simple_free(input->stream);
    delete input;
}

}  // namespace

const SourceOps pulseSource = {check, open, read, close};

}  // namespace win32subset::wavein
