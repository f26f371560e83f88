// Recording from a real sound server: a private PulseAudio with a null
// sink, started by each test in its own temporary folder. A tone played
// into the sink is recorded through its monitor (by the pulse device and
// through ALSA's pulse plug-in), silence when nothing plays; a server killed
// while recording is recorded from again once it is back, and a recording
// of the default source follows the server's choice of default; "playing"
// follows the server's default output, and where the server has no output
// says so and records the default source.
#include <pulse/error.h>
#include <pulse/simple.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <atomic>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "recording.h"
#include "standard_error_file.h"
#include "test_support.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using wavetest::channelOf;
using wavetest::pcmFormat;
using wavetest::Recorder;
using testsupport::StandardErrorToFile;

constexpr const char* kSink = "vumira_null";
constexpr std::size_t kPoints = 1024;

class PrivateSoundServer {
public:
    ~PrivateSoundServer() { stop(); }

    // Starts the server and waits (at most 20 s) until it answers.
    bool start(std::string& why) {
        socket_ = "unix:" + folder_.file("native");
        const std::string sinkModule = std::string("module-null-sink sink_name=") + kSink;
        const std::string socketModule = "module-native-protocol-unix auth-anonymous=1 socket=" + folder_.file("native");
        const std::string logTarget = "--log-target=file:" + folder_.file("server.log");
        std::vector<std::string> arguments = {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                              "--use-pid-file=no", "--realtime=no", "--high-priority=no",
                                              logTarget, "-L", sinkModule, "-L", socketModule};
        if (geteuid() == 0) arguments.insert(arguments.begin() + 1, "--system=no");
        // The server's own folders, away from the user's.
        std::vector<std::string> environment = {
            "HOME=" + folder_.path().string(), "XDG_RUNTIME_DIR=" + folder_.path().string(),
            "XDG_CONFIG_HOME=" + folder_.file("config"), "PULSE_RUNTIME_PATH=" + folder_.file("runtime"),
            "PULSE_STATE_PATH=" + folder_.file("state"), "PATH=" + std::string(getenv("PATH") ? getenv("PATH") : "")};
        std::vector<char*> argv, envp;
        for (auto& item : arguments) argv.push_back(item.data());
        argv.push_back(nullptr);
        for (auto& item : environment) envp.push_back(item.data());
        envp.push_back(nullptr);
        if (int failure = posix_spawnp(&pid_, "pulseaudio", nullptr, nullptr, argv.data(), envp.data())) {
            why = "cannot start pulseaudio: " + std::string(strerror(failure));
            pid_ = -1;
            return false;
        }
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                why = "pulseaudio exited at once: " + testsupport::readFile(folder_.file("server.log"));
                return false;
            }
            const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, 8000, 1};
            if (pa_simple* probe = pa_simple_new(socket_.c_str(), "probe", PA_STREAM_PLAYBACK, nullptr, "probe", &sampleFormat,
                                                 nullptr, nullptr, nullptr)) {
                pa_simple_free(probe);
                // The devices find it through the environment, as a client would.
                testsupport::writeFile(folder_.file("client.conf"), "autospawn = no\n");
                setenv("PULSE_SERVER", socket_.c_str(), 1);
                setenv("PULSE_CLIENTCONFIG", folder_.file("client.conf").c_str(), 1);
                return true;
            }
            std::this_thread::sleep_for(50ms);
        }
        why = "pulseaudio did not answer within 20 s: " + testsupport::readFile(folder_.file("server.log"));
        return false;
    }

    void kill(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGCONT);  // a frozen server must wake to end
        ::kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    void freeze() { ::kill(pid_, SIGSTOP); }
    void stop() { kill(SIGTERM); }
    const std::string& socket() const { return socket_; }

private:
    testsupport::TempDir folder_;
    std::string socket_;
    pid_t pid_ = -1;
};

// Plays a steady tone into the null sink until destroyed.
class TonePlayer {
public:
    TonePlayer(const std::string& server, double hertz, const char* sink = kSink) {
        const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32NE, 48000, 1};
        pa_buffer_attr buffering{};
        buffering.maxlength = static_cast<uint32_t>(-1);
        buffering.tlength = static_cast<uint32_t>(pa_usec_to_bytes(100000, &sampleFormat));
        buffering.prebuf = static_cast<uint32_t>(-1);
        buffering.minreq = static_cast<uint32_t>(-1);
        buffering.fragsize = static_cast<uint32_t>(-1);
        int failure = 0;
        stream_ = pa_simple_new(server.c_str(), "tone player", PA_STREAM_PLAYBACK, sink, "tone", &sampleFormat, nullptr,
                                &buffering, &failure);
        EXPECT_NE(stream_, nullptr) << pa_strerror(failure);
        if (!stream_) return;
        thread_ = std::thread([this, hertz] {
            std::vector<float> chunk(480);  // 10 ms
            unsigned long long frame = 0;
            while (!stop_) {
                for (auto& sample : chunk) sample = float(0.5 * std::sin(2 * M_PI * hertz * double(frame++ % 48000) / 48000));
                if (pa_simple_write(stream_, chunk.data(), chunk.size() * sizeof(float), nullptr) < 0) break;
            }
        });
    }
    ~TonePlayer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (stream_) pa_simple_free(stream_);
    }

private:
    pa_simple* stream_ = nullptr;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class WaveInPulse : public testing::Test {
protected:
    void SetUp() override {
        unsetenv("VUMIRA_WAVE_IN");
        std::string why;
        const bool started = server_.start(why);
        SKIP_OR_FAIL_WITHOUT(started, "a private PulseAudio server (" + why + ")");
    }
    PrivateSoundServer server_;
};

// Records until the tone has begun (the server may take a moment), then
// returns kPoints samples of it.
std::vector<double> recordTone(const char* device, const WAVEFORMATEX& format) {
    Recorder recorder(format, 640);
    EXPECT_EQ(recorder.open(device), MMSYSERR_NOERROR) << device;
    const auto end = std::chrono::steady_clock::now() + 20s;
    std::size_t wanted = 16000;
    while (std::chrono::steady_clock::now() < end) {
        if (!recorder.waitFor(wanted, 1s)) continue;
        const auto samples = channelOf(recorder.recorded(), format, 0);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (std::fabs(samples[i]) < 0.1) continue;
            const std::size_t from = i + 512;  // past the tone's first moments
            if (samples.size() >= from + kPoints) {
                return std::vector<double>(samples.begin() + std::ptrdiff_t(from),
                                           samples.begin() + std::ptrdiff_t(from + kPoints));
            }
            break;
        }
        wanted = recorder.recorded().size() + 4096;
    }
    ADD_FAILURE() << device << ": the tone never arrived within 20 s";
    return {};
}

// Waits (at most 20 s) until nothing more arrived for half a second.
bool untilNothingArrives(Recorder& recorder) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < end) {
        const std::size_t before = recorder.recorded().size();
        std::this_thread::sleep_for(500ms);
        if (recorder.recorded().size() == before) return true;
    }
    return false;
}

TEST_F(WaveInPulse, ARecordingOfTheMonitorHoldsTheTonePlayedIntoTheSink) {
    TonePlayer player(server_.socket(), 1000);
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    const std::string monitor = std::string("pulse:") + kSink + ".monitor";
    for (const char* device : {monitor.c_str(), "pulse:@DEFAULT_MONITOR@", "pulse", "alsa:pulse"}) {
        const auto samples = recordTone(device, format);
        if (samples.size() != kPoints) continue;
        const auto strongest = double(wavetest::strongestBin(samples));
        EXPECT_NEAR(strongest, wavetest::binOf(1000, kPoints, 16000), 1.0)
            << device << ": strongest at " << strongest * 16000 / kPoints << " Hz";
        EXPECT_NEAR(wavetest::peakLevel(samples), 0.5, 0.05) << device;
    }
}

TEST_F(WaveInPulse, TheDefaultDeviceIsTheServersDefaultSource) {
    TonePlayer player(server_.socket(), 1500);
    ASSERT_EQ(Win32SubsetSetWaveIn(nullptr), 0);
    EXPECT_EQ(waveInGetNumDevs(), 1u);
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 640);
    EXPECT_EQ(recorder.open(nullptr), MMSYSERR_NOERROR);
    recorder.close();
    const auto samples = recordTone("", format);  // "" is the default too
    ASSERT_EQ(samples.size(), kPoints);
    EXPECT_NEAR(double(wavetest::strongestBin(samples)), wavetest::binOf(1500, kPoints, 16000), 1.0);
}

TEST_F(WaveInPulse, NothingPlayingRecordsNearSilence) {
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 640);
    ASSERT_EQ(recorder.open((std::string("pulse:") + kSink + ".monitor").c_str()), MMSYSERR_NOERROR);
    ASSERT_TRUE(recorder.waitFor(16000)) << "the server delivered nothing within 20 s";  // 0.5 s
    const auto samples = channelOf(recorder.recorded(), format, 0);
    recorder.close();
    EXPECT_LT(wavetest::peakLevel(samples), 0.001);
}

// How often `part` occurs in `text`.
std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Waits (at most `limit`) until a sample louder than 0.1 arrives after the
// first `from` samples of channel 0.
bool loudAfter(Recorder& recorder, const WAVEFORMATEX& format, std::size_t from, std::chrono::milliseconds limit) {
    return wavetest::waitUntil(
        [&] {
            const auto samples = channelOf(recorder.recorded(), format, 0);
            for (std::size_t i = from; i < samples.size(); ++i)
                if (std::fabs(samples[i]) > 0.1) return true;
            return false;
        },
        limit);
}

// The sound server is killed while recording and started again: the device
// says so once, keeps delivering (silence) so that the program recording
// sees no failure, connects again by itself, and records the tone again
// within 3 s of the server answering.
TEST_F(WaveInPulse, AServerKilledAndStartedAgainIsRecordedFromAgainWithinThreeSeconds) {
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    const std::string device = std::string("pulse:") + kSink + ".monitor";
    Recorder recorder(format, 640);
    StandardErrorToFile said;
    {
        TonePlayer player(server_.socket(), 1000);
        ASSERT_EQ(recorder.open(device.c_str()), MMSYSERR_NOERROR);
        ASSERT_TRUE(loudAfter(recorder, format, 0, 20s)) << "the tone never arrived";
        server_.kill(SIGKILL);
    }
    EXPECT_TRUE(said.waitFor("the sound server went away")) << said.text();
    // Silence keeps coming, in real time, while the server is away.
    const std::size_t whileAway = recorder.recorded().size();
    std::this_thread::sleep_for(1500ms);
    const std::size_t arrived = recorder.recorded().size() - whileAway;
    EXPECT_GT(arrived, 24000u) << "less than half of 1.5 s of silence arrived while the server was away";
    EXPECT_EQ(said.text().find("recording stopped"), std::string::npos) << said.text();

    std::string why;
    ASSERT_TRUE(server_.start(why)) << why;
    const auto answering = std::chrono::steady_clock::now();
    TonePlayer player(server_.socket(), 1000);
    const std::size_t fromNow = channelOf(recorder.recorded(), format, 0).size();
    ASSERT_TRUE(loudAfter(recorder, format, fromNow, 10s)) << "the tone never came back: " << said.text();
    const auto resumedAfter = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - answering);
    std::printf("recording resumed %lld ms after the server answered again\n", static_cast<long long>(resumedAfter.count()));
    // Attempts come at most a second apart; the rest is a busy machine's margin.
    EXPECT_LE(resumedAfter, 6000ms);
    EXPECT_EQ(occurrences(said.text(), "the sound server went away"), 1u) << said.text();
    EXPECT_EQ(occurrences(said.text(), "recording again from the sound server"), 1u) << said.text();
    recorder.close();
}

// With no source named the device records the server's default source, and
// moves when the server's default changes.
TEST_F(WaveInPulse, WithNoSourceNamedTheRecordingFollowsTheServersDefaultSource) {
    const std::string server = "--server=" + server_.socket();
    ASSERT_EQ(std::system(("pactl " + server + " load-module module-null-sink sink_name=vumira_other >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system(("pactl " + server + " set-default-source " + kSink + ".monitor").c_str()), 0);
    TonePlayer first(server_.socket(), 1000);
    TonePlayer second(server_.socket(), 2000, "vumira_other");

    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 640);
    StandardErrorToFile said;
    ASSERT_EQ(recorder.open("pulse"), MMSYSERR_NOERROR);
    auto strongestSince = [&](std::size_t from) -> double {
        if (!recorder.waitFor(from + 2 * kPoints + 4096, 10s)) return -1;
        const auto samples = channelOf(recorder.recorded(), format, 0);
        const auto start = samples.end() - std::ptrdiff_t(kPoints);
        return double(wavetest::strongestBin(std::vector<double>(start, samples.end()))) * 16000 / kPoints;
    };
    ASSERT_TRUE(loudAfter(recorder, format, 0, 20s));
    EXPECT_NEAR(strongestSince(recorder.recorded().size()), 1000, 20);

    ASSERT_EQ(std::system(("pactl " + server + " set-default-source vumira_other.monitor").c_str()), 0);
    EXPECT_TRUE(said.waitFor("following the sound server's new default source")) << said.text();
    const bool moved = wavetest::waitUntil(
        [&] { return std::fabs(strongestSince(recorder.recorded().size()) - 2000) < 20; }, 10s);
    EXPECT_TRUE(moved) << "the recording did not move to the new default source";
    recorder.close();
}

// The strongest frequency (Hz) of the last kPoints samples once `from` and
// a few thousand more have arrived; -1 when they never did.
double strongestSince(Recorder& recorder, const WAVEFORMATEX& format, std::size_t from) {
    if (!recorder.waitFor(from + 2 * kPoints + 4096, 10s)) return -1;
    const auto samples = channelOf(recorder.recorded(), format, 0);
    const auto start = samples.end() - std::ptrdiff_t(kPoints);
    return double(wavetest::strongestBin(std::vector<double>(start, samples.end()))) * format.nSamplesPerSec / kPoints;
}

// "playing" records the monitor of the server's default output (sink), not
// the default source (a microphone, say), and moves with the default output
// when the person switches outputs. (The server moves the streams that play
// on the old default output along with it, so the tone plays on the output
// switched to, and the one switched from is silent.)
TEST_F(WaveInPulse, PlayingRecordsTheDefaultOutputAndFollowsIt) {
    const std::string server = "--server=" + server_.socket();
    for (const char* sink : {"vumira_other", "vumira_mic"}) {
        ASSERT_EQ(std::system(("pactl " + server + " load-module module-null-sink sink_name=" + sink + " >/dev/null").c_str()), 0);
    }
    ASSERT_EQ(std::system(("pactl " + server + " set-default-sink vumira_other").c_str()), 0);
    ASSERT_EQ(std::system(("pactl " + server + " set-default-source vumira_mic.monitor").c_str()), 0);
    TonePlayer music(server_.socket(), 1000);
    TonePlayer microphone(server_.socket(), 3000, "vumira_mic");

    ASSERT_EQ(Win32SubsetSetWaveIn("playing"), 0);
    char device[64] = {};
    EXPECT_EQ(Win32SubsetWaveInChoice(device, sizeof device), WIN32SUBSET_CHOSEN_BY_PROGRAM);
    EXPECT_STREQ(device, "playing");

    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 640);
    StandardErrorToFile said;
    ASSERT_EQ(recorder.open("playing"), MMSYSERR_NOERROR);
    ASSERT_TRUE(recorder.waitFor(16000)) << "the server delivered nothing within 20 s";  // 1 s
    EXPECT_LT(wavetest::peakLevel(channelOf(recorder.recorded(), format, 0)), 0.001)
        << "the default output is silent, but sound was recorded (the microphone?)";

    const std::size_t switched = channelOf(recorder.recorded(), format, 0).size();
    ASSERT_EQ(std::system(("pactl " + server + " set-default-sink " + kSink).c_str()), 0);
    EXPECT_TRUE(said.waitFor("wave-in: pulse:@DEFAULT_MONITOR@: following the sound server's new default output"))
        << said.text();
    ASSERT_TRUE(loudAfter(recorder, format, switched, 10s)) << "the recording did not move: " << said.text();
    EXPECT_NEAR(strongestSince(recorder, format, recorder.recorded().size()), 1000, 20);
    recorder.close();
    Win32SubsetSetWaveIn(nullptr);
}

// Whether a source records what is playing or a microphone, as the host
// asks before it suggests recording what is playing: the server is asked,
// whatever the source's name.
TEST_F(WaveInPulse, TheServerTellsWhetherASourceRecordsWhatPlays) {
    const std::string server = "--server=" + server_.socket();
    ASSERT_EQ(std::system(("pactl " + server + " load-module module-null-source source_name=vumira_mic >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system(("pactl " + server + " load-module module-null-source source_name=looks_like.monitor "
                           ">/dev/null").c_str()), 0);
    struct Row {
        const char* defaultSource;
        const char* device;  // nullptr: the default
        int recordsWhatPlays;
    };
    const std::string monitor = std::string(kSink) + ".monitor";
    const std::string monitorDevice = "pulse:" + monitor;
    const Row rows[] = {
        {"vumira_mic", nullptr, 0},
        {"vumira_mic", "pulse", 0},
        {monitor.c_str(), nullptr, 1},
        {monitor.c_str(), "pulse", 1},
        {"vumira_mic", "pulse:@DEFAULT_MONITOR@", 1},
        {"vumira_mic", "playing", 1},
        {"vumira_mic", monitorDevice.c_str(), 1},
        {"vumira_mic", "pulse:looks_like.monitor", 0},  // an input, whatever its name says
        {"vumira_mic", "pulse:vumira_mic", 0},
        {"vumira_mic", "alsa", 0},
        {"vumira_mic", "tone:440", -1},
        {"vumira_mic", "demo", -1},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(std::system(("pactl " + server + " set-default-source " + row.defaultSource).c_str()), 0);
        ASSERT_EQ(Win32SubsetSetWaveIn(row.device), 0);
        EXPECT_EQ(Win32SubsetWaveInRecordsWhatPlays(), row.recordsWhatPlays)
            << (row.device ? row.device : "the default") << " with the default source " << row.defaultSource;
    }
    Win32SubsetSetWaveIn(nullptr);
}

// A server with a microphone but no output: "playing" says why it cannot
// record what is playing, and records the default source instead.
TEST_F(WaveInPulse, PlayingWithoutAnOutputSaysSoAndRecordsTheDefaultSource) {
    const std::string server = "--server=" + server_.socket();
    ASSERT_EQ(std::system(("pactl " + server + " load-module module-sine-source source_name=vumira_mic frequency=1500 "
                           ">/dev/null").c_str()), 0);
    ASSERT_EQ(std::system(("pactl " + server + " set-default-source vumira_mic").c_str()), 0);
    ASSERT_EQ(std::system(("pactl " + server + " unload-module module-null-sink").c_str()), 0);

    ASSERT_EQ(Win32SubsetSetWaveIn("playing"), 0);
    char device[64] = {};
    EXPECT_EQ(Win32SubsetWaveInChoice(device, sizeof device), WIN32SUBSET_FALLS_BACK);
    EXPECT_STREQ(device, "pulse");

    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 640);
    StandardErrorToFile said;
    ASSERT_EQ(recorder.open("playing"), MMSYSERR_NOERROR);
    EXPECT_TRUE(said.waitFor("wave-in: playing: the sound server has no output to record (")) << said.text();
    ASSERT_TRUE(loudAfter(recorder, format, 0, 20s));
    EXPECT_NEAR(strongestSince(recorder, format, recorder.recorded().size()), 1500, 20);
    recorder.close();
    Win32SubsetSetWaveIn(nullptr);
}

// What the device told the person, through the program's notice listener.
std::mutex noticesLock;
std::vector<std::string> notices;
void collectNotice(const char* text) {
    std::lock_guard<std::mutex> held(noticesLock);
    notices.emplace_back(text);
}
std::size_t noticesHolding(const std::string& part) {
    std::lock_guard<std::mutex> held(noticesLock);
    std::size_t count = 0;
    for (const auto& notice : notices) count += notice.find(part) != std::string::npos ? 1 : 0;
    return count;
}

TEST_F(WaveInPulse, ANamedSourceThatGoesIsToldOnceAndRecordedFromAgainWhenItIsBack) {
    const std::string server = "--server=" + server_.socket();
    const std::string load = "pactl " + server + " load-module module-null-sink sink_name=vumira_gone";
    FILE* loaded = popen(load.c_str(), "r");
    ASSERT_NE(loaded, nullptr);
    char index[32] = {};
    const bool read = std::fgets(index, sizeof index, loaded) != nullptr;
    pclose(loaded);
    ASSERT_TRUE(read) << "the sink was not made";
    {
        std::lock_guard<std::mutex> held(noticesLock);
        notices.clear();
    }
    Win32SubsetSetWaveInNoticeListener(collectNotice);

    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 640);
    StandardErrorToFile said;
    ASSERT_EQ(recorder.open("pulse:vumira_gone.monitor"), MMSYSERR_NOERROR);
    ASSERT_TRUE(recorder.waitFor(8000, 10s)) << "nothing recorded from the sink's monitor";

    ASSERT_EQ(std::system(("pactl " + server + " unload-module " + std::string(index)).c_str()), 0);
    const std::string gone = "pulse:vumira_gone.monitor: the source vumira_gone.monitor is gone";
    EXPECT_TRUE(wavetest::waitUntil([&] { return noticesHolding(gone) > 0; }, 10s)) << said.text();
    // The device goes on (silence at the right pace) and tries again, quietly.
    const std::size_t whileGone = recorder.recorded().size();
    EXPECT_TRUE(recorder.waitFor(whileGone + 32000, 10s)) << "the recording stopped while the source was gone";
    EXPECT_EQ(noticesHolding(gone), 1u) << said.text();
    EXPECT_EQ(said.text().find("the sound server went away"), std::string::npos) << said.text();

    ASSERT_EQ(std::system((load + " >/dev/null").c_str()), 0);
    EXPECT_TRUE(wavetest::waitUntil(
        [&] { return noticesHolding("the source vumira_gone.monitor is back; recording from it again") == 1; }, 10s))
        << said.text();
    recorder.close();
    Win32SubsetSetWaveInNoticeListener(nullptr);
}

TEST_F(WaveInPulse, AServerThatHangsCannotHangTheResetOrTheClose) {
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 640);
    ASSERT_EQ(recorder.open((std::string("pulse:") + kSink + ".monitor").c_str()), MMSYSERR_NOERROR);
    ASSERT_TRUE(recorder.waitFor(6400));
    server_.freeze();
    // What the client had already received still arrives; then nothing.
    EXPECT_TRUE(untilNothingArrives(recorder)) << "sound kept arriving from a frozen server";
    testing::internal::CaptureStderr();
    recorder.close();  // returns, with the buffers back, although the device's read never does
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("did not stop recording"), std::string::npos) << said;
}

}  // namespace
