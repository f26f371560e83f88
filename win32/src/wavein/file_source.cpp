// file:PATH: a sound file (WAV, FLAC, Ogg and whatever else libsndfile
// reads) played as if it were being recorded: at its own rate and channels
// (the stream converts them), paced in real time, and from the start again
// at its end. A file that cannot be read, then or later, is named in the
// message together with the reason.
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "wavein/pacer.h"
#include "wavein/source.h"

namespace subset::wavein {

namespace {

struct SoundFile {
    SNDFILE* file;
    int descriptor;  // ours: libsndfile leaves it open
    std::string path;
    unsigned channels;
    Pacer pacer;
};

bool check(const std::string& argument, std::string& error) {
    if (!argument.empty()) return true;
    error = "file: needs the path of a sound file (file:PATH)";
    return false;
}

void* open(const std::string& path, const PcmShape&, PcmShape& produced, std::string& error) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error = "file:" + path + ": cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat status {};
    if (fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(descriptor);
        error = "file:" + path + ": " + path + " is a folder, not a sound file";
        return nullptr;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(descriptor, SFM_READ, &info, SF_FALSE);
    if (!file) {
        ::close(descriptor);
        error = "file:" + path + ": " + path + " is not a sound file that libsndfile reads (" +
                sf_strerror(nullptr) + ")";
        return nullptr;
    }
    if (info.frames <= 0 || info.channels <= 0 || info.samplerate <= 0) {
        sf_close(file);
        ::close(descriptor);
        error = "file:" + path + ": " + path + " holds no sound";
        return nullptr;
    }
    produced = PcmShape{unsigned(info.samplerate), unsigned(info.channels)};
    return new SoundFile{file, descriptor, path, unsigned(info.channels), Pacer(unsigned(info.samplerate))};
}

std::size_t read(void* source, float* out, std::size_t frames, std::string& error) {
    auto* sound = static_cast<SoundFile*>(source);
    std::size_t got = 0;
    bool rewound = false;
    while (got < frames) {
        const sf_count_t count = sf_readf_float(sound->file, out + got * sound->channels, sf_count_t(frames - got));
        if (count > 0) {
            got += std::size_t(count);
            rewound = false;
            continue;
        }
        // The end, or a file that no longer reads: start again once, and
        // give up when even the start gives nothing.
        if (rewound || sf_seek(sound->file, 0, SEEK_SET) < 0) {
            const char* reason = sf_strerror(sound->file);
            error = "file:" + sound->path + ": " + sound->path + " can no longer be read (" +
                    (reason && *reason && std::strcmp(reason, "No Error.") != 0 ? reason : "it holds no sound now") + ")";
            return 0;
        }
        rewound = true;
    }
    sound->pacer.wait(frames);
    return frames;
}

void close(void* source) {
    auto* sound = static_cast<SoundFile*>(source);
    sf_close(sound->file);
    ::close(sound->descriptor);
    delete sound;
}

}  // namespace

const SourceOps fileSource = {check, open, read, close, nullptr};

}  // namespace subset::wavein
