// raw:PATH[,RATE[,CHANNELS]] and raw:-: signed 16-bit little-endian PCM, as
// music players write it to a FIFO output, from a FIFO, a plain file or
// standard input; 44100 frames a second and 2 channels unless given.
// - paced in real time: a plain file (which loops) is never read faster than
//   it would play; a FIFO or a pipe is read as fast as its writer delivers,
//   so sound that piled up in it after a stall is caught up at once, and
//   only a writer faster than real time is held back (to a lead of what
//   the pipe holds, at least a second);
// - when the writer falls silent (paused, not started yet), silence is
//   recorded after a tenth of a second, and the sound resumes when it writes
//   again; a FIFO is held open for reading and writing so that a writer may
//   come and go;
// - standard input that ends is reported once and records silence.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "wavein/pacer.h"
#include "wavein/source.h"

namespace subset::wavein {

namespace {

constexpr unsigned kDefaultRate = 44100;
constexpr unsigned kDefaultChannels = 2;
constexpr auto kWriterGrace = std::chrono::milliseconds(100);
constexpr auto kSmallestLead = std::chrono::seconds(1);
constexpr long kUsualPipeBytes = 65536;

struct RawSettings {
    std::string path;  // "-" for standard input
    unsigned rate = kDefaultRate;
    unsigned channels = kDefaultChannels;
};

struct RawInput {
    RawSettings settings;
    int descriptor;
    bool plainFile;
    bool ended = false;  // standard input or a pipe reached its end
    std::vector<unsigned char> bytes;  // what was read and not yet delivered
    Pacer pacer;
};

bool parseNumber(const std::string& text, unsigned long lowest, unsigned long highest, unsigned& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) return false;
    const unsigned long number = std::strtoul(text.c_str(), nullptr, 10);
    if (number < lowest || number > highest) return false;
    value = unsigned(number);
    return true;
}

// The rate and the channel count are the numbers after the last commas, so
// a path may itself hold commas.
bool parse(const std::string& argument, RawSettings& settings, std::string& error) {
    const std::string usage = "; write raw:PATH[,RATE[,CHANNELS]] or raw:- with RATE 1000 to 384000 and CHANNELS 1 to 8";
    std::string path = argument;
    std::vector<std::string> numbers;
    while (numbers.size() < 2) {
        const std::size_t comma = path.rfind(',');
        if (comma == std::string::npos) break;
        const std::string tail = path.substr(comma + 1);
        if (tail.empty() || tail.find_first_not_of("0123456789") != std::string::npos) break;
        numbers.insert(numbers.begin(), tail);
        path.erase(comma);
    }
    if (path.empty()) {
        error = "raw:" + argument + ": no path given" + usage;
        return false;
    }
    settings.path = path;
    if (numbers.size() >= 1 && !parseNumber(numbers[0], 1000, 384000, settings.rate)) {
        error = "raw:" + argument + ": " + numbers[0] + " is not a rate" + usage;
        return false;
    }
    if (numbers.size() == 2 && !parseNumber(numbers[1], 1, 8, settings.channels)) {
        error = "raw:" + argument + ": " + numbers[1] + " is not a channel count" + usage;
        return false;
    }
    return true;
}

bool check(const std::string& argument, std::string& error) {
    RawSettings settings;
    return parse(argument, settings, error);
}

// How far a live writer may be read ahead of the clock: at least all that
// its pipe can hold, so that a full pipe is always caught up.
std::chrono::nanoseconds leadOf(int descriptor, const RawSettings& settings) {
    long pipeBytes = fcntl(descriptor, F_GETPIPE_SZ);
    if (pipeBytes <= 0) pipeBytes = kUsualPipeBytes;
    const double seconds = double(pipeBytes) / (double(settings.rate) * settings.channels * 2);
    return std::max<std::chrono::nanoseconds>(kSmallestLead, std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                                 std::chrono::duration<double>(seconds)));
}

void* open(const std::string& argument, const PcmShape&, PcmShape& produced, std::string& error) {
    RawSettings settings;
    if (!parse(argument, settings, error)) return nullptr;
    int descriptor = -1;
    bool plainFile = false;
    if (settings.path == "-") {
        descriptor = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);  // our own copy: closing it leaves standard input alone
        if (descriptor < 0) {
            error = "raw:-: cannot use standard input: " + std::string(std::strerror(errno));
            return nullptr;
        }
    } else {
        struct stat status {};
        if (stat(settings.path.c_str(), &status) != 0) {
            error = "raw:" + argument + ": cannot open " + settings.path + ": " + std::strerror(errno);
            return nullptr;
        }
        if (S_ISDIR(status.st_mode)) {
            error = "raw:" + argument + ": " + settings.path + " is a folder, not a FIFO or a file";
            return nullptr;
        }
        plainFile = S_ISREG(status.st_mode);
        if (plainFile && status.st_size < off_t(settings.channels * 2)) {
            error = "raw:" + argument + ": " + settings.path + " holds no sound";
            return nullptr;
        }
        // A FIFO opened for writing too never reports an end when its writer
        // leaves, and its opening does not wait for a writer.
        const int mode = S_ISFIFO(status.st_mode) ? O_RDWR : O_RDONLY;
        // A FIFO on a disk's file system would otherwise have its access
        // time written after every write of the player: a change of the
        // inode, journalled, a hundred times a second. Only the owner may
        // ask for that; anyone else reads as usual.
        descriptor = ::open(settings.path.c_str(), mode | O_NONBLOCK | O_CLOEXEC | O_NOATIME);
        if (descriptor < 0 && errno == EPERM) descriptor = ::open(settings.path.c_str(), mode | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) {
            error = "raw:" + argument + ": cannot open " + settings.path + ": " + std::strerror(errno);
            return nullptr;
        }
    }
    produced = PcmShape{settings.rate, settings.channels};
    Pacer pacer(settings.rate, plainFile ? std::chrono::nanoseconds{} : leadOf(descriptor, settings));
    return new RawInput{std::move(settings), descriptor, plainFile, false, {}, pacer};
}

// Reads what is waiting, up to `most` bytes, once at least `least` bytes
// have come or `deadline` has passed (what is already waiting by then is
// still read). False with a message on a read error. A plain file always
// has its sound at hand, so it is read whole whatever the time (a busy
// machine must not turn it into silence); only one that has been emptied
// gives silence.
bool gather(RawInput& input, std::size_t least, std::size_t most, std::chrono::steady_clock::time_point deadline,
            std::string& error) {
    unsigned char chunk[4096];
    bool atStart = false;  // rewound, and nothing read since
    while (input.bytes.size() < most && !input.ended) {
        const bool enough = input.bytes.size() >= least;
        // With enough at hand nothing is waited for: the descriptor does not
        // block, so the read itself says whether more is waiting.
        if (!enough) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd waiting{input.descriptor, POLLIN, 0};
            const int ready = poll(&waiting, 1, int(std::clamp<long long>(left.count(), 0, 20)));
            if (ready < 0 && errno != EINTR) {
                error = "raw:" + input.settings.path + ": waiting for data failed: " + std::strerror(errno);
                return false;
            }
            if (ready <= 0) {
                if (left.count() <= 0) break;  // a plain file is always ready
                continue;
            }
        }
        const std::size_t asked = std::min(sizeof chunk, most - input.bytes.size());
        const ssize_t count = ::read(input.descriptor, chunk, asked);
        if (count > 0) {
            input.bytes.insert(input.bytes.end(), chunk, chunk + count);
            atStart = false;
            // A pipe that gave less than was asked has been emptied: asking
            // again would only cost a call.
            if (!input.plainFile && std::size_t(count) < asked && input.bytes.size() >= least) break;
        } else if (count == 0 && input.plainFile) {
            if (atStart) break;  // emptied since it was opened
            lseek(input.descriptor, 0, SEEK_SET);  // loop
            atStart = true;
        } else if (count == 0) {
            input.ended = true;
            std::fprintf(stderr, "wave-in: raw:%s: the input ended; recording silence from now on\n",
                         input.settings.path.c_str());
        } else if (errno == EAGAIN) {
            if (enough) break;
        } else if (errno != EINTR) {
            error = "raw:" + input.settings.path + ": reading failed: " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

// Hands on the whole frames gathered, up to `most`; returns how many.
std::size_t takeFrames(RawInput& input, float* out, std::size_t most) {
    const std::size_t frameBytes = input.settings.channels * 2;
    const std::size_t whole = std::min(most, input.bytes.size() / frameBytes);
    const std::size_t samples = whole * input.settings.channels;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto bits = static_cast<std::uint16_t>(input.bytes[2 * i] | (input.bytes[2 * i + 1] << 8));
        out[i] = float(static_cast<std::int16_t>(bits)) / 32768.0f;
    }
    input.bytes.erase(input.bytes.begin(), input.bytes.begin() + std::ptrdiff_t(whole * frameBytes));
    return whole;
}

// A FIFO's sound is handed on as soon as a frame of it has come: one
// wake-up per write of the player. A plain file fills every read.
std::size_t read(void* source, float* out, std::size_t most, std::string& error) {
    auto& input = *static_cast<RawInput*>(source);
    const std::size_t frameBytes = input.settings.channels * 2;
    const std::size_t least = input.plainFile ? most * frameBytes : frameBytes;
    // Waiting for the writer a little past the time the sound is due keeps
    // the recording in real time while the writer is silent.
    if (!gather(input, least, most * frameBytes, input.pacer.due(most) + kWriterGrace, error)) return 0;
    std::size_t whole = takeFrames(input, out, most);
    if (whole == 0) {  // the writer fell silent
        whole = most;
        std::fill(out, out + most * input.settings.channels, 0.0f);
    }
    input.pacer.wait(whole);
    return whole;
}

// What a FIFO's writer has written by now. A writer far ahead of the clock
// is still held back, as by a read.
std::size_t readNow(void* source, float* out, std::size_t most) {
    auto& input = *static_cast<RawInput*>(source);
    if (input.plainFile) return kFillsEveryRead;
    std::string error;  // a failure is left for the next read to report
    if (!gather(input, 0, most * input.settings.channels * 2, std::chrono::steady_clock::now(), error)) return 0;
    const std::size_t whole = takeFrames(input, out, most);
    input.pacer.wait(whole);
    return whole;
}

void close(void* source) {
    auto* input = static_cast<RawInput*>(source);
    ::close(input->descriptor);
    delete input;
}

}  // namespace

const SourceOps rawSource = {check, open, read, close, readNow};

}  // namespace subset::wavein
