// Recording from a real sound server: a private PulseAudio with a null
// sink, started by each test in its own temporary folder. A tone played
// into the sink is recorded through its monitor (by the pulse device and
// through ALSA's pulse plug-in), silence when nothing plays, and a server
// that dies while recording stops the recording without harm.
#include <pulse/error.h>
#include <pulse/simple.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "recording.h"
#include "test_support.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using wavetest::channelOf;
using wavetest::pcmFormat;
using wavetest::Recorder;

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
    TonePlayer(const std::string& server, double hertz) {
        const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32NE, 48000, 1};
        pa_buffer_attr buffering{};
        buffering.maxlength = static_cast<uint32_t>(-1);
        buffering.tlength = static_cast<uint32_t>(pa_usec_to_bytes(100000, &sampleFormat));
        buffering.prebuf = static_cast<uint32_t>(-1);
        buffering.minreq = static_cast<uint32_t>(-1);
        buffering.fragsize = static_cast<uint32_t>(-1);
        int failure = 0;
        stream_ = pa_simple_new(server.c_str(), "tone player", PA_STREAM_PLAYBACK, kSink, "tone", &sampleFormat, nullptr,
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

// Standard error goes to a file while this lives, so that a test can wait
// for a message that another thread prints.
class StandardErrorToFile {
public:
    StandardErrorToFile() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int file = open(folder_.file("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, STDERR_FILENO);
        close(file);
    }
    ~StandardErrorToFile() {
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    std::string text() const { return testsupport::readFile(folder_.file("stderr")); }
    bool waitFor(const std::string& part) const {
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (text().find(part) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

private:
    testsupport::TempDir folder_;
    int saved_ = -1;
};

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

TEST_F(WaveInPulse, AServerThatDiesStopsTheRecordingAndTheBuffersStillComeBack) {
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Recorder recorder(format, 640);
    ASSERT_EQ(recorder.open((std::string("pulse:") + kSink + ".monitor").c_str()), MMSYSERR_NOERROR);
    ASSERT_TRUE(recorder.waitFor(6400));
    StandardErrorToFile said;
    server_.kill(SIGKILL);
    EXPECT_TRUE(said.waitFor("recording stopped")) << "no message within 20 s: " << said.text();
    EXPECT_NE(said.text().find("pulse:" + std::string(kSink) + ".monitor"), std::string::npos) << said.text();
    EXPECT_TRUE(untilNothingArrives(recorder)) << "sound kept arriving from a dead server";
    recorder.close();  // reset, unprepare and close succeed, the buffers are back
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
