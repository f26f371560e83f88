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
//
// The temporary file's name carries the writer's process id
// (NAME.tmp-PID-XXXXXX), so that one left behind by a writer that was killed
// half-way is known as stale: the first write of a later process to the same
// file removes those whose process is gone, and never a live writer's.
#include "settings_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace obsidel {
namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string temporaryPrefix(const std::string& path) { return path.substr(path.rfind('/') + 1) + ".tmp-"; }

}  // namespace

// Once a process and path, as nothing of ours is left behind later.
void removeStaleTemporaries(const std::string& path) {
    static std::mutex lock;
    static std::set<std::string> cleaned;
    {
        std::lock_guard<std::mutex> held(lock);
        if (!cleaned.insert(path).second) return;
    }
    const std::string folder = folderOf(path);
    const std::string prefix = temporaryPrefix(path);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (end == name.c_str() + prefix.size() || *end != '-' || pid <= 0) continue;
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        unlink((folder + "/" + name).c_str());
    }
    closedir(dir);
}

namespace {

bool writeAll(int fd, const std::string& contents) {
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool replaceFileAtomically(const std::string& path, const std::string& contents) {
    const std::string pattern = path + ".tmp-" + std::to_string(getpid()) + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        const int failure = errno;
        std::fprintf(stderr, "obsidel: cannot write %s: %s\n", path.c_str(), std::strerror(failure));
        errno = failure;
        return false;
    }
    fchmod(fd, 0644);
    bool ok = writeAll(fd, contents) && fsync(fd) == 0;
    // The first failure's reason is the one reported.
    int failure = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (ok && std::rename(name.data(), path.c_str()) != 0) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        unlink(name.data());
        std::fprintf(stderr, "obsidel: cannot write %s: %s\n", path.c_str(), std::strerror(failure));
        errno = failure;
        return false;
    }
    return true;
}

}  // namespace obsidel
