// Writes signed 16-bit 44.1 kHz stereo PCM in real time (10 ms a block on
// an absolute schedule) to every path named, as a music player writes its
// FIFO output: a sine tone, or with --step-ms N, silence and a full-scale
// tone taking turns every N ms, the time of each rise printed on standard
// output (CLOCK_MONOTONIC, in microseconds). A reader that falls behind
// loses blocks rather than slowing the others; "-" is standard output.
//
//   paced_pcm [--seconds S] [--hz F] [--step-ms N] PATH...
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kBlockFrames = kRate / 100;
constexpr double kTwoPi = 6.283185307179586;

long long microseconds(const timespec& t) { return t.tv_sec * 1000000LL + t.tv_nsec / 1000; }

void advance(timespec& t, long nanoseconds) {
    t.tv_nsec += nanoseconds;
    while (t.tv_nsec >= 1000000000L) {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 0, hz = 440;
    long stepMs = 0;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--seconds" && i + 1 < argc) seconds = std::atof(argv[++i]);
        else if (word == "--hz" && i + 1 < argc) hz = std::atof(argv[++i]);
        else if (word == "--step-ms" && i + 1 < argc) stepMs = std::atol(argv[++i]);
        else paths.push_back(word);
    }
    if (paths.empty()) {
        std::fprintf(stderr, "usage: paced_pcm [--seconds S] [--hz F] [--step-ms N] PATH...\n");
        return 2;
    }
    std::vector<int> outputs;
    for (const auto& path : paths) {
        // Opened for reading too, a FIFO neither waits for its reader nor
        // fails while the reader is not there yet.
        int fd = path == "-" ? STDOUT_FILENO : open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "paced_pcm: %s: %s\n", path.c_str(), std::strerror(errno));
            return 1;
        }
        outputs.push_back(fd);
    }
    const long long blocks = seconds > 0 ? static_cast<long long>(seconds * 100) : -1;
    std::vector<int16_t> block(2 * kBlockFrames);
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    long long frame = 0;
    bool loud = stepMs == 0;
    long long lost = 0;
    for (long long n = 0; blocks < 0 || n < blocks; ++n) {
        const bool loudNow = stepMs == 0 || (n * 10 / stepMs) % 2 == 1;
        if (loudNow && !loud) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("%lld\n", microseconds(now));
            std::fflush(stdout);
        }
        loud = loudNow;
        for (int i = 0; i < kBlockFrames; ++i, ++frame) {
            const int16_t sample = loud ? static_cast<int16_t>(32767 * std::sin(kTwoPi * hz * double(frame) / kRate)) : int16_t{0};
            block[2 * i] = block[2 * i + 1] = sample;
        }
        for (int fd : outputs) {
            const ssize_t written = write(fd, block.data(), block.size() * sizeof(int16_t));
            if (written < 0 && errno == EPIPE) return 0;
            if (written != static_cast<ssize_t>(block.size() * sizeof(int16_t))) ++lost;
        }
        advance(due, 10000000L);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
        }
    }
    if (lost) std::fprintf(stderr, "paced_pcm: %lld blocks not taken by a slow reader\n", lost);
    return 0;
}
