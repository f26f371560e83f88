// alsa[:PCM]: records from an ALSA device, "default" unless named
// ("hw:1,0", "plughw:1", "pulse", ...). Asks for floating-point samples at
// the rate and channels wanted, falling back to 16-bit samples for devices
// that only give those; ALSA's own plug-ins convert the rate when the
// hardware cannot. An overrun is recovered from; any other failure stops
// the recording with ALSA's reason.
//
// ALSA's library prints its own diagnostics on standard error ("ALSA lib
// confmisc.c:855:(parse_card) cannot find card '0'" and more, for one failed
// open); they are silenced here, and the device's one-line message, which
// carries ALSA's reason, is what the user sees.
#include <alsa/asoundlib.h>

#include <mutex>
#include <vector>

#include "wavein/source.h"

namespace subset::wavein {

namespace {

constexpr unsigned kLatencyMicroseconds = 40000;

struct AlsaInput {
    snd_pcm_t* pcm;
    std::string name;
    unsigned channels;
    bool sixteenBit;
    std::vector<int16_t> sixteen;  // for devices that give 16-bit samples only
};

std::string deviceText(const std::string& argument) { return "alsa:" + (argument.empty() ? "default" : argument); }

bool check(const std::string&, std::string&) { return true; }

void discardAlsaDiagnostic(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsaDiagnostics() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(discardAlsaDiagnostic); });
}

void* open(const std::string& argument, const PcmShape& wanted, PcmShape& produced, std::string& error) {
    const std::string name = argument.empty() ? "default" : argument;
    silenceAlsaDiagnostics();
    snd_pcm_t* pcm = nullptr;
    int failure = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, 0);
    if (failure < 0) {
        error = deviceText(argument) + ": cannot open the ALSA device " + name + " (" + snd_strerror(failure) +
                "); `arecord -L` lists the devices";
        return nullptr;
    }
    bool sixteenBit = false;
    failure = snd_pcm_set_params(pcm, SND_PCM_FORMAT_FLOAT, SND_PCM_ACCESS_RW_INTERLEAVED, wanted.channels,
                                 wanted.rate, 1, kLatencyMicroseconds);
    if (failure < 0) {
        sixteenBit = true;
        failure = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, wanted.channels,
                                     wanted.rate, 1, kLatencyMicroseconds);
    }
    if (failure < 0) {
        snd_pcm_close(pcm);
        error = deviceText(argument) + ": " + name + " cannot record " + std::to_string(wanted.channels) +
                " channel(s) at " + std::to_string(wanted.rate) + " samples a second (" + snd_strerror(failure) + ")";
        return nullptr;
    }
    produced = PcmShape{wanted.rate, wanted.channels};
    return new AlsaInput{pcm, deviceText(argument), wanted.channels, sixteenBit, {}};
}

std::size_t read(void* source, float* out, std::size_t frames, std::string& error) {
    auto* input = static_cast<AlsaInput*>(source);
    if (input->sixteenBit) input->sixteen.resize(frames * input->channels);
    std::size_t got = 0;
    while (got < frames) {
        void* into = input->sixteenBit ? static_cast<void*>(&input->sixteen[got * input->channels])
                                       : static_cast<void*>(out + got * input->channels);
        const snd_pcm_sframes_t count = snd_pcm_readi(input->pcm, into, snd_pcm_uframes_t(frames - got));
        if (count >= 0) {
            got += std::size_t(count);
            continue;
        }
        const int failure = snd_pcm_recover(input->pcm, int(count), 1);  // overruns and suspends
        if (failure < 0) {
            error = input->name + ": recording failed (" + snd_strerror(failure) + ")";
            return 0;
        }
    }
    if (input->sixteenBit) {
        for (std::size_t i = 0; i < frames * input->channels; ++i) out[i] = float(input->sixteen[i]) / 32768.0f;
    }
    return frames;
}

void close(void* source) {
    auto* input = static_cast<AlsaInput*>(source);
    snd_pcm_close(input->pcm);
    delete input;
}

}  // namespace

const SourceOps alsaSource = {check, open, read, close, nullptr};

}  // namespace subset::wavein
