// pulse[:SOURCE]: records from the sound server (PulseAudio, or PipeWire's
// PulseAudio service). Without SOURCE it records the server's default
// source; "@DEFAULT_MONITOR@" records what is playing, and "NAME.monitor"
// what plays on one output. The server converts to the rate and channels
// asked for and delivers about every 10 ms. When the server goes away the
// recording stops with the server's reason.
//
// Each delivery is copied out of the server's memory and released at once,
// inside the client's own thread: a fragment held between reads (as the
// simple API holds one) makes the client wait for ever for its release when
// the server dies, so that the failure is never reported.
#include <pulse/error.h>
#include <pulse/thread-mainloop.h>
#include <pulse/stream.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "wavein/source.h"

namespace subset::wavein {

namespace {

constexpr pa_usec_t kFragmentMicroseconds = 10000;
constexpr std::size_t kLargestBacklogSeconds = 1;  // older sound is dropped when the reader falls behind

struct PulseInput {
    std::string name;
    unsigned channels = 0;
    unsigned rate = 0;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;

    std::mutex lock;  // guards the fields below, between the client's thread and the reader
    std::condition_variable arrived;
    std::vector<float> received;  // interleaved samples not yet read
    std::string failure;          // set once the server has failed us
};

std::string deviceText(const std::string& argument) { return argument.empty() ? "pulse" : "pulse:" + argument; }

void fail(PulseInput& input, const std::string& why) {
    {
        std::lock_guard<std::mutex> held(input.lock);
        if (input.failure.empty()) input.failure = why;
    }
    input.arrived.notify_all();
}

// The callbacks run on the client's thread with the main loop locked.
void contextChanged(pa_context* context, void* data) {
    auto& input = *static_cast<PulseInput*>(data);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
        fail(input, pa_strerror(pa_context_errno(context)));
    }
    pa_threaded_mainloop_signal(input.loop, 0);
}

void streamChanged(pa_stream* stream, void* data) {
    auto& input = *static_cast<PulseInput*>(data);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        fail(input, pa_strerror(pa_context_errno(input.context)));
    }
    pa_threaded_mainloop_signal(input.loop, 0);
}

void soundArrived(pa_stream* stream, size_t, void* data) {
    auto& input = *static_cast<PulseInput*>(data);
    const void* bytes = nullptr;
    size_t length = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &bytes, &length) == 0 && length > 0) {
        {
            std::lock_guard<std::mutex> held(input.lock);
            const std::size_t samples = length / sizeof(float);
            if (bytes) {
                const auto* first = static_cast<const float*>(bytes);
                input.received.insert(input.received.end(), first, first + samples);
            } else {
                input.received.insert(input.received.end(), samples, 0.0f);  // a hole in the recording
            }
            const std::size_t largest = std::size_t(input.rate) * input.channels * kLargestBacklogSeconds;
            if (input.received.size() > largest) {
                input.received.erase(input.received.begin(),
                                     input.received.begin() + std::ptrdiff_t(input.received.size() - largest));
            }
        }
        pa_stream_drop(stream);
    }
    input.arrived.notify_all();
}

void closeInput(PulseInput* input) {
    if (input->loop) pa_threaded_mainloop_lock(input->loop);
    if (input->stream) {
        pa_stream_set_read_callback(input->stream, nullptr, nullptr);
        pa_stream_set_state_callback(input->stream, nullptr, nullptr);
        pa_stream_disconnect(input->stream);
        pa_stream_unref(input->stream);
    }
    if (input->context) {
        pa_context_set_state_callback(input->context, nullptr, nullptr);
        pa_context_disconnect(input->context);
        pa_context_unref(input->context);
    }
    if (input->loop) {
        pa_threaded_mainloop_unlock(input->loop);
        pa_threaded_mainloop_stop(input->loop);
        pa_threaded_mainloop_free(input->loop);
    }
    delete input;
}

bool check(const std::string&, std::string&) { return true; }

// Waits, with the main loop locked, until `ready` or a failure.
template <typename Ready>
bool waitLocked(PulseInput& input, Ready ready) {
    for (;;) {
        if (ready()) return true;
        {
            std::lock_guard<std::mutex> held(input.lock);
            if (!input.failure.empty()) return false;
        }
        pa_threaded_mainloop_wait(input.loop);
    }
}

void* open(const std::string& argument, const PcmShape& wanted, PcmShape& produced, std::string& error) {
    auto* input = new PulseInput;
    input->name = deviceText(argument);
    input->channels = wanted.channels;
    input->rate = wanted.rate;
    const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32NE, wanted.rate, static_cast<uint8_t>(wanted.channels)};
    input->loop = pa_threaded_mainloop_new();
    if (input->loop) input->context = pa_context_new(pa_threaded_mainloop_get_api(input->loop), program_invocation_short_name);
    if (!input->context) {
        error = input->name + ": cannot start a sound-server client";
        closeInput(input);
        return nullptr;
    }
    pa_context_set_state_callback(input->context, contextChanged, input);
    bool ready = pa_context_connect(input->context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0 &&
                 pa_threaded_mainloop_start(input->loop) >= 0;
    int code = ready ? 0 : pa_context_errno(input->context);
    if (ready) {
        pa_threaded_mainloop_lock(input->loop);
        ready = waitLocked(*input, [&] { return pa_context_get_state(input->context) == PA_CONTEXT_READY; });
        if (ready) {
            input->stream = pa_stream_new(input->context, "wave-in recording", &sampleFormat, nullptr);
            pa_buffer_attr buffering{};
            buffering.maxlength = static_cast<uint32_t>(-1);
            buffering.tlength = static_cast<uint32_t>(-1);
            buffering.prebuf = static_cast<uint32_t>(-1);
            buffering.minreq = static_cast<uint32_t>(-1);
            buffering.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentMicroseconds, &sampleFormat));
            ready = input->stream != nullptr;
            if (ready) {
                pa_stream_set_state_callback(input->stream, streamChanged, input);
                pa_stream_set_read_callback(input->stream, soundArrived, input);
                ready = pa_stream_connect_record(input->stream, argument.empty() ? nullptr : argument.c_str(),
                                                 &buffering, PA_STREAM_ADJUST_LATENCY) >= 0 &&
                        waitLocked(*input, [&] { return pa_stream_get_state(input->stream) == PA_STREAM_READY; });
            }
        }
        code = pa_context_errno(input->context);
        pa_threaded_mainloop_unlock(input->loop);
    }
    if (!ready) {
        error = input->name + ": cannot record from the sound server (" + pa_strerror(code) + ")";
        if (code == PA_ERR_NOENTITY) error += "; `pactl list short sources` lists the sources";
        if (code == PA_ERR_CONNECTIONREFUSED) error += "; is a sound server running?";
        closeInput(input);
        return nullptr;
    }
    produced = PcmShape{wanted.rate, wanted.channels};
    return input;
}

bool read(void* source, float* out, std::size_t frames, std::string& error) {
    auto& input = *static_cast<PulseInput*>(source);
    const std::size_t samples = frames * input.channels;
    std::unique_lock<std::mutex> held(input.lock);
    input.arrived.wait(held, [&] { return input.received.size() >= samples || !input.failure.empty(); });
    if (input.received.size() < samples) {
        error = input.name + ": the sound server stopped answering (" + input.failure + ")";
        return false;
    }
    std::copy_n(input.received.begin(), samples, out);
    input.received.erase(input.received.begin(), input.received.begin() + std::ptrdiff_t(samples));
    return true;
}

void close(void* source) { closeInput(static_cast<PulseInput*>(source)); }

}  // namespace

const SourceOps pulseSource = {check, open, read, close};

}  // namespace subset::wavein
