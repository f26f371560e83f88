#include "settings_store.h"

#include <obsidel/api.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "file_stamp.h"
#include "file_text.h"
#include "live_reload.h"

namespace obsidel {
namespace {

std::string trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

// The key without its trailing colon and surrounding blanks.
std::string bareKey(const std::string& key) {
    std::string bare = trim(key);
    if (!bare.empty() && bare.back() == ':') bare.pop_back();
    return trim(bare);
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// When `line` is a `key: value` line of `bare`, its value (trimmed).
std::optional<std::string> valueOfLine(const std::string& line, const std::string& bare) {
    size_t colon = line.find(':');
    while (colon != std::string::npos) {
        // Keys may themselves hold colons; the key ends at the colon after
        // which the line's key equals the one wanted.
        if (equalsIgnoringCase(trim(line.substr(0, colon)), bare)) return trim(line.substr(colon + 1));
        colon = line.find(':', colon + 1);
    }
    return std::nullopt;
}

bool isComment(const std::string& line) {
    std::string start = trim(line);
    return start.empty() || start[0] == '#' || start[0] == '!';
}

// A settings file as the host last read or wrote it. A drag writes the
// window's place several times a second, so the host keeps the parsed file
// and reads it again only when its stamp says it changed on disk.
struct KnownFile {
    FileStamp stamp;
    std::string text;
    std::vector<std::string> lines;
    bool endsWithNewline = true;
};

// Plug-ins may read and write settings from any thread.
std::mutex knownLock;
std::map<std::string, KnownFile> knownFiles;

void splitLines(KnownFile& file) {
    file.lines.clear();
    file.endsWithNewline = file.text.empty() || file.text.back() == '\n';
    std::istringstream stream(file.text);
    std::string line;
    // Each line keeps its own end (a Windows "\r" included), so that a write
    // gives every other line back byte for byte; the matching trims it.
    while (std::getline(stream, line)) file.lines.push_back(line);
}

// The file as it stands on disk; null when it is missing or cannot be read.
const KnownFile* currentLocked(const std::string& path) {
    // Stamped before reading: a change made during the read shows as a
    // new stamp next time, so the worst it costs is one more read.
    const std::optional<FileStamp> stamp = fileStamp(path);
    auto found = knownFiles.find(path);
    if (stamp && found != knownFiles.end() && found->second.stamp == *stamp) return &found->second;
    if (found != knownFiles.end()) knownFiles.erase(found);
    if (!stamp) return nullptr;
    std::optional<std::string> text = readFileText(path).text;
    if (!text) return nullptr;
    KnownFile file{*stamp, std::move(*text), {}, true};
    splitLines(file);
    return &(knownFiles[path] = std::move(file));
}

// After a replacement of the host's own: what it wrote is the file's text.
void rememberWrittenLocked(const std::string& path, std::string text) {
    const std::optional<FileStamp> stamp = fileStamp(path);
    if (!stamp) {
        knownFiles.erase(path);
        return;
    }
    KnownFile file{*stamp, std::move(text), {}, true};
    splitLines(file);
    knownFiles[path] = std::move(file);
}

}  // namespace

std::optional<std::string> readSetting(const std::string& path, const std::string& key) {
    std::lock_guard<std::mutex> guard(knownLock);
    const KnownFile* file = currentLocked(path);
    if (!file) return std::nullopt;
    std::string bare = bareKey(key);
    for (const auto& line : file->lines) {
        if (isComment(line)) continue;
        if (auto value = valueOfLine(line, bare)) return value;
    }
    return std::nullopt;
}

std::optional<std::string> settingsText(const std::string& path) {
    std::lock_guard<std::mutex> guard(knownLock);
    const KnownFile* file = currentLocked(path);
    if (!file) return std::nullopt;
    return file->text;
}

bool writeSetting(const std::string& path, const std::string& key, const std::string& value) {
    // Before a write that may turn out to change nothing (and so replaces nothing).
    removeStaleTemporaries(path);
    std::lock_guard<std::mutex> guard(knownLock);
    std::vector<std::string> lines;
    if (const KnownFile* file = currentLocked(path)) lines = file->lines;  // a missing file starts empty
    std::string bare = bareKey(key);
    // A value never spans lines: a line break in it would forge other keys.
    std::string flat = value;
    for (char& c : flat)
        if (c == '\n' || c == '\r') c = ' ';
    std::string written = bare + ": " + flat;
    auto endsLikeWindows = [](const std::string& line) { return !line.empty() && line.back() == '\r'; };
    bool replaced = false;
    for (auto& line : lines) {
        if (!isComment(line) && valueOfLine(line, bare)) {
            const std::string replacement = written + (endsLikeWindows(line) ? "\r" : "");
            // The file holds the line already (a move leaves the size as it
            // was): nothing to replace, and nothing for a power cut to lose.
            if (line == replacement) return true;
            line = replacement;
            replaced = true;
            break;
        }
    }
    if (!replaced) lines.push_back(written + (!lines.empty() && endsLikeWindows(lines.back()) ? "\r" : ""));
    std::string contents;
    for (const auto& line : lines) contents += line + "\n";
    if (!replaceFileAtomically(path, contents)) return false;
    rememberWrittenLocked(path, std::move(contents));
    return true;
}

std::optional<int> parseInt(const std::string& text) {
    std::string value = trim(text);
    if (value.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long number = std::strtol(value.c_str(), &end, 10);
    if (end == value.c_str() || *end != '\0' || errno == ERANGE || number < INT_MIN || number > INT_MAX)
        return std::nullopt;
    return static_cast<int>(number);
}

std::optional<bool> parseBool(const std::string& text) {
    std::string value = trim(text);
    for (const char* yes : {"true", "yes", "1"})
        if (equalsIgnoringCase(value, yes)) return true;
    for (const char* no : {"false", "no", "0"})
        if (equalsIgnoringCase(value, no)) return false;
    return std::nullopt;
}

}  // namespace obsidel

// ---- the host API over the store ----

namespace {
// ReadString's result lives here until the next call, as the API promises.
thread_local std::string lastReadString;

// A write that fails (a read-only folder, a full disk) leaves the old file;
// the user is told why in the status text, once until a write succeeds
// again, since a drag writes many times a second.
void reportWriteOutcome(const char* path, bool written, int failure) {
    static bool failing = false;
    if (written || failing) {
        failing = !written;
        return;
    }
    failing = true;
    const std::string text = std::string("settings not saved: ") + path + ": " + std::strerror(failure) +
                             "; the file keeps its last saved values";
    if (HWND host = GetOBWnd())
        SendMessageA(host, OBM_SETSTATUSBAR, 0, reinterpret_cast<LPARAM>(text.c_str()));
    else
        std::fprintf(stderr, "obsidel: %s\n", text.c_str());
}

// A plug-in's write is the host's own: live reload must not take it for an edit.
void writeWatched(const char* path, const char* key, const std::string& value) {
    obsidel::beforeOwnWrite(path, obsidel::settingsText(path));
    const bool written = obsidel::writeSetting(path, key, value);
    const int failure = errno;
    obsidel::afterOwnWrite(path, obsidel::settingsText(path));
    reportWriteOutcome(path, written, failure);
}
}  // namespace

extern "C" {

int FileExists(LPCSTR path) {
    if (!path || !*path) return 0;
    return obsidel::isReadableFile(path) ? 1 : 0;
}

int ReadInt(LPCSTR path, LPCSTR key, int defaultValue) {
    if (!path || !key) return defaultValue;
    obsidel::watchFile(path, obsidel::WatchedKind::Settings);
    auto value = obsidel::readSetting(path, key);
    if (!value) return defaultValue;
    return obsidel::parseInt(*value).value_or(defaultValue);
}

int ReadBool(LPCSTR path, LPCSTR key, int defaultValue) {
    if (!path || !key) return defaultValue;
    obsidel::watchFile(path, obsidel::WatchedKind::Settings);
    auto value = obsidel::readSetting(path, key);
    if (!value) return defaultValue;
    auto parsed = obsidel::parseBool(*value);
    return parsed ? (*parsed ? 1 : 0) : defaultValue;
}

LPCSTR ReadString(LPCSTR path, LPCSTR key, LPCSTR defaultValue) {
    std::optional<std::string> value;
    if (path && key) {
        obsidel::watchFile(path, obsidel::WatchedKind::Settings);
        value = obsidel::readSetting(path, key);
    }
    lastReadString = value ? *value : (defaultValue ? defaultValue : "");
    return lastReadString.c_str();
}

void WriteInt(LPCSTR path, LPCSTR key, int value) {
    if (path && key) writeWatched(path, key, std::to_string(value));
}

void WriteBool(LPCSTR path, LPCSTR key, int value) {
    if (path && key) writeWatched(path, key, value ? "true" : "false");
}

void WriteString(LPCSTR path, LPCSTR key, LPCSTR value) {
    if (path && key) writeWatched(path, key, value ? value : "");
}

}  // extern "C"
