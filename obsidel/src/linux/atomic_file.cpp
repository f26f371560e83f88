// Atomic replacement of a file on POSIX: a temporary file in the same
// folder, written, flushed to disk, then renamed over the old one.
//
// Durability: one fsync, of the new text before the rename, so that the
// name never points at text that is not on the disk yet: after a power cut
// the file holds a whole version, never an empty or torn one. The folder is
// not synced after the rename: a power cut shortly after a write may bring
// back a version from a moment before (the last steps of a drag, say).
// That saves one of the two disk flushes of every write, and a drag writes
// many times a second.
#include "settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace obsidel {

bool replaceFileAtomically(const std::string& path, const std::string& contents) {
    std::string pattern = path + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        std::fprintf(stderr, "obsidel: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    fchmod(fd, 0644);
    size_t done = 0;
    bool ok = true;
    while (ok && done < contents.size()) {
        ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && std::rename(name.data(), path.c_str()) == 0;
    if (!ok) {
        std::fprintf(stderr, "obsidel: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        unlink(name.data());
        return false;
    }
    return true;
}

}  // namespace obsidel
