// pulse[:SOURCE]: records from the sound server (PulseAudio, or PipeWire's
// PulseAudio service). Without SOURCE it records the server's default
// source; "@DEFAULT_MONITOR@" records what is playing, and "NAME.monitor"
// what plays on one output. The server converts to the rate and channels
// asked for and delivers about every 25 ms.
//
// When the server goes away (killed, restarted) the device says so once on
// standard error and keeps recording silence at the right pace, so that the
// program recording sees no failure; it connects again after 100 ms, then
// after twice as long each time up to 1 s, and records sound again once the
// server answers. Without SOURCE it follows the server's default source, and
// with "@DEFAULT_MONITOR@" the monitor of the server's default output
// (sink): a change of the default moves the recording to the new one. Any
// other SOURCE named is kept to: the server may not move the recording
// elsewhere, and when the source goes (a device unplugged, a module
// unloaded) while the server stays, the person is told once (tellPerson:
// standard error and the program's notice listener) and the device records
// silence, trying again as above, until the source is back, which is told
// too.
//
// Each delivery is copied out of the server's memory and released at once,
// inside the client's own thread: a fragment held between reads (as the
// simple API holds one) makes the client wait for ever for its release when
// the server dies, so that the failure is never reported.
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>
#include <pulse/stream.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "wavein/notices.h"
#include "wavein/source.h"

namespace subset::wavein {

namespace {

// A delivery every 25 ms instead of 10 ms more than halves what recording
// costs the server and this process (the server's sink runs at the
// shortest latency any of its recordings asks for). The stream hands the
// sound on in steps of 8.5 ms whatever the fragment (pcm_stream.cpp), so a
// program that repaints on the sound's arrival keeps its frame rate.
constexpr pa_usec_t kFragmentMicroseconds = 25000;
constexpr std::size_t kLargestBacklogSeconds = 1;  // older sound is dropped when the reader falls behind
constexpr auto kFirstRetry = std::chrono::milliseconds(100);
constexpr auto kLongestRetry = std::chrono::milliseconds(1000);

using Clock = std::chrono::steady_clock;

// The server's name for the monitor of its default output.
constexpr const char* kDefaultMonitor = "@DEFAULT_MONITOR@";

struct PulseInput {
    std::string argument;  // the source asked for; empty: the server's default
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
    std::string recordingFrom;    // the source the stream records now
    bool defaultMoved = false;    // the server's default source is another now

    // The reader's own: the reconnection after a loss.
    bool lost = false;
    bool sourceGone = false;  // the loss is the named source's, not the server's
    Clock::time_point nextAttempt{};
    std::chrono::milliseconds retry = kFirstRetry;
    Clock::time_point silenceDue{};  // when the silence recorded so far has lasted
};

std::string deviceText(const std::string& argument) { return argument.empty() ? "pulse" : "pulse:" + argument; }

bool followsTheDefault(const std::string& argument) { return argument.empty() || argument == kDefaultMonitor; }

// The source now recorded is no longer the one the server names.
void defaultChanged(PulseInput& input, const char* source) {
    {
        std::lock_guard<std::mutex> held(input.lock);
        if (!source || input.recordingFrom.empty() || input.recordingFrom == source) return;
        input.defaultMoved = true;
    }
    input.arrived.notify_all();
}

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

void defaultOutputArrived(pa_context*, const pa_sink_info* sink, int last, void* data) {
    if (!last && sink) defaultChanged(*static_cast<PulseInput*>(data), sink->monitor_source_name);
}

void serverInfoArrived(pa_context* context, const pa_server_info* info, void* data) {
    auto& input = *static_cast<PulseInput*>(data);
    if (!info) return;
    if (input.argument.empty()) {
        defaultChanged(input, info->default_source_name);
        return;
    }
    // The default output's monitor is named by the output; a server without
    // outputs leaves the recording where it is.
    if (!info->default_sink_name) return;
    pa_operation* query = pa_context_get_sink_info_by_name(context, info->default_sink_name, defaultOutputArrived, data);
    if (query) pa_operation_unref(query);
}

void serverChanged(pa_context* context, pa_subscription_event_type_t, uint32_t, void* data) {
    pa_operation* query = pa_context_get_server_info(context, serverInfoArrived, data);
    if (query) pa_operation_unref(query);
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

// Ends the connection to the server (if any), keeping what the reader needs.
void disconnect(PulseInput* input) {
    if (input->loop) pa_threaded_mainloop_lock(input->loop);
    if (input->stream) {
        pa_stream_set_read_callback(input->stream, nullptr, nullptr);
        pa_stream_set_state_callback(input->stream, nullptr, nullptr);
        pa_stream_disconnect(input->stream);
        pa_stream_unref(input->stream);
    }
    if (input->context) {
        pa_context_set_subscribe_callback(input->context, nullptr, nullptr);
        pa_context_set_state_callback(input->context, nullptr, nullptr);
        pa_context_disconnect(input->context);
        pa_context_unref(input->context);
    }
    if (input->loop) {
        pa_threaded_mainloop_unlock(input->loop);
        pa_threaded_mainloop_stop(input->loop);
        pa_threaded_mainloop_free(input->loop);
    }
    input->stream = nullptr;
    input->context = nullptr;
    input->loop = nullptr;
}

void closeInput(PulseInput* input) {
    disconnect(input);
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

// Connects to the server and starts the recording stream; false with the
// server's error code in `code` (0 when no client could be made at all).
bool connect(PulseInput* input, int& code) {
    const std::string& argument = input->argument;
    {
        std::lock_guard<std::mutex> held(input->lock);
        input->failure.clear();
        input->received.clear();
        input->recordingFrom.clear();
        input->defaultMoved = false;
    }
    const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32NE, input->rate, static_cast<uint8_t>(input->channels)};
    input->loop = pa_threaded_mainloop_new();
    if (input->loop) input->context = pa_context_new(pa_threaded_mainloop_get_api(input->loop), program_invocation_short_name);
    code = 0;
    if (!input->context) return false;
    pa_context_set_state_callback(input->context, contextChanged, input);
    bool ready = pa_context_connect(input->context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0 &&
                 pa_threaded_mainloop_start(input->loop) >= 0;
    code = ready ? 0 : pa_context_errno(input->context);
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
                // A source the user named is not swapped for another behind their back.
                const auto flags = static_cast<pa_stream_flags_t>(
                    PA_STREAM_ADJUST_LATENCY | (followsTheDefault(argument) ? 0 : PA_STREAM_DONT_MOVE));
                ready = pa_stream_connect_record(input->stream, argument.empty() ? nullptr : argument.c_str(),
                                                 &buffering, flags) >= 0 &&
                        waitLocked(*input, [&] { return pa_stream_get_state(input->stream) == PA_STREAM_READY; });
            }
            if (ready && followsTheDefault(argument)) {
                // Told of every change of the server, to follow its default source or output.
                if (const char* source = pa_stream_get_device_name(input->stream)) {
                    std::lock_guard<std::mutex> held(input->lock);
                    input->recordingFrom = source;
                }
                pa_context_set_subscribe_callback(input->context, serverChanged, input);
                if (pa_operation* asked = pa_context_subscribe(input->context, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr))
                    pa_operation_unref(asked);
            }
        }
        code = pa_context_errno(input->context);
        pa_threaded_mainloop_unlock(input->loop);
    }
    return ready;
}

void* open(const std::string& argument, const PcmShape& wanted, PcmShape& produced, std::string& error) {
    auto* input = new PulseInput;
    input->argument = argument;
    input->name = deviceText(argument);
    input->channels = wanted.channels;
    input->rate = wanted.rate;
    int code = 0;
    const bool ready = connect(input, code);
    if (!ready && code == 0) {
        error = input->name + ": cannot start a sound-server client";
        closeInput(input);
        return nullptr;
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

// While the server is away: silence for the time the frames last, and a
// new connection whenever the wait before the next attempt is over.
void recordSilenceAndRetry(PulseInput& input, float* out, std::size_t frames) {
    const auto began = Clock::now();
    std::fill_n(out, frames * input.channels, 0.0f);
    if (began >= input.nextAttempt) {
        disconnect(&input);
        int code = 0;
        if (connect(&input, code)) {
            input.lost = false;
            input.retry = kFirstRetry;
            if (input.sourceGone)
                tellPerson(input.name + ": the source " + input.argument + " is back; recording from it again");
            else
                std::fprintf(stderr, "wave-in: %s: recording again from the sound server\n", input.name.c_str());
            input.sourceGone = false;
            return;
        }
        input.nextAttempt = Clock::now() + input.retry;
        input.retry = std::min(input.retry * 2, kLongestRetry);
    }
    // Paced by the clock, not by the time of each read: a reader that also
    // waits between reads (the stream's steady pace) still gets the
    // silence in real time.
    const auto lasting = std::chrono::microseconds(frames * 1000000 / input.rate);
    input.silenceDue = std::clamp(input.silenceDue + lasting, began, began + lasting);
    std::this_thread::sleep_until(input.silenceDue);
}

std::size_t read(void* source, float* out, std::size_t most, std::string&) {
    auto& input = *static_cast<PulseInput*>(source);
    if (input.lost) {
        recordSilenceAndRetry(input, out, most);
        return most;
    }
    std::unique_lock<std::mutex> held(input.lock);
    input.arrived.wait(held, [&] {
        return input.received.size() >= input.channels || !input.failure.empty() || input.defaultMoved;
    });
    if (input.received.size() >= input.channels) {
        const std::size_t frames = std::min(most, input.received.size() / input.channels);
        const std::size_t samples = frames * input.channels;
        std::copy_n(input.received.begin(), samples, out);
        input.received.erase(input.received.begin(), input.received.begin() + std::ptrdiff_t(samples));
        return frames;
    }
    const std::string failure = input.failure;
    held.unlock();
    // A recording of a named source that failed while the server still answers lost its source.
    input.sourceGone = false;
    if (!failure.empty() && !followsTheDefault(input.argument)) {
        pa_threaded_mainloop_lock(input.loop);
        input.sourceGone = pa_context_get_state(input.context) == PA_CONTEXT_READY;
        pa_threaded_mainloop_unlock(input.loop);
    }
    if (input.sourceGone) {
        tellPerson(input.name + ": the source " + input.argument +
                   " is gone; recording silence until it is back (`pactl list short sources` lists the sources)");
    } else if (failure.empty()) {
        // The default source or output changed: record from the new one at once.
        std::fprintf(stderr, "wave-in: %s: following the sound server's new default %s\n", input.name.c_str(),
                     input.argument.empty() ? "source" : "output");
    } else {
        // Said once a loss; the attempts that follow are quiet.
        std::fprintf(stderr, "wave-in: %s: the sound server went away (%s); recording silence and connecting again\n",
                     input.name.c_str(), failure.c_str());
    }
    input.lost = true;
    input.retry = kFirstRetry;
    input.nextAttempt = failure.empty() ? Clock::now() : Clock::now() + kFirstRetry;
    recordSilenceAndRetry(input, out, most);
    return most;
}

// What the server has delivered by now. A loss or a new default, once what
// came before it is taken, is carried out by a read.
std::size_t readNow(void* source, float* out, std::size_t most) {
    auto& input = *static_cast<PulseInput*>(source);
    if (input.lost) return 0;
    std::lock_guard<std::mutex> held(input.lock);
    if (input.received.size() < input.channels && (input.defaultMoved || !input.failure.empty())) return kReadNeeded;
    const std::size_t frames = std::min(most, input.received.size() / input.channels);
    const std::size_t samples = frames * input.channels;
    std::copy_n(input.received.begin(), samples, out);
    input.received.erase(input.received.begin(), input.received.begin() + std::ptrdiff_t(samples));
    return frames;
}

void close(void* source) { closeInput(static_cast<PulseInput*>(source)); }

void sourceInfoArrived(pa_context*, const pa_source_info* info, int last, void* data) {
    if (!last && info) *static_cast<int*>(data) = info->monitor_of_sink != PA_INVALID_INDEX ? 1 : 0;
}

// 1 when the server's source `name` is the monitor of an output, 0 when it
// is an input; -1 when the server does not answer or has no such source.
int askWhetherMonitor(const std::string& name) {
    int answer = -1;
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop) return answer;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), program_invocation_short_name);
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        pa_context_state_t state;
        while ((state = pa_context_get_state(context)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state))
            pa_mainloop_iterate(loop, 1, nullptr);
        if (state == PA_CONTEXT_READY) {
            pa_operation* query = pa_context_get_source_info_by_name(context, name.c_str(), sourceInfoArrived, &answer);
            while (query && pa_operation_get_state(query) == PA_OPERATION_RUNNING) pa_mainloop_iterate(loop, 1, nullptr);
            if (query) pa_operation_unref(query);
        }
        pa_context_disconnect(context);
    }
    if (context) pa_context_unref(context);
    pa_mainloop_free(loop);
    return answer;
}

}  // namespace

int pulseRecordsWhatPlays(const std::string& argument) {
    if (argument == kDefaultMonitor) return 1;
    const int asked = askWhetherMonitor(argument.empty() ? "@DEFAULT_SOURCE@" : argument);
    if (asked >= 0) return asked;
    // Without an answer, the name tells: outputs' monitors end in ".monitor";
    // a server's default source is most often a microphone.
    const std::string suffix = ".monitor";
    return argument.size() > suffix.size() && argument.ends_with(suffix) ? 1 : 0;
}

const SourceOps pulseSource = {check, open, read, close, readNow};

}  // namespace subset::wavein
