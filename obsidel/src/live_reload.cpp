#include "live_reload.h"

#include <cstdio>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "file_change_notice.h"
#include "file_text.h"

namespace obsidel {
namespace {

struct WatchedFile {
    WatchedKind kind;
    std::optional<std::string> known;  // nothing while the file is missing
    bool changedUnderOwnWrite = false;
    std::string reported;  // the kind of trouble last said of it, cleared once it is good again
};

// Plug-ins may read settings from any thread; the notices' thread never touches this.
std::mutex watchLock;
std::map<std::string, WatchedFile> watched;
bool noticesRunning = false;

std::optional<std::string> currentText(const std::string& path) { return readFileText(path).text; }

std::string folderOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos) return ".";
    return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

const char* what(WatchedKind kind) { return kind == WatchedKind::Style ? "style" : "settings"; }

}  // namespace

int firstUnreadableLine(const std::string& text, const std::string& lastGood) {
    std::set<std::string> known;
    std::istringstream oldLines(lastGood);
    for (std::string line; std::getline(oldLines, line);) known.insert(line);
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (line.find('\0') != std::string::npos) return number;  // not text at all
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#' || line[start] == '!') continue;
        const size_t colon = line.find(':');
        if (colon != std::string::npos && colon != start) continue;
        if (!known.count(line)) return number;
    }
    return 0;
}

void watchFile(const std::string& path, WatchedKind kind) {
    if (path.empty()) return;
    bool added = false;
    {
        std::lock_guard<std::mutex> guard(watchLock);
        auto found = watched.find(path);
        if (found != watched.end()) {
            if (kind == WatchedKind::Style) found->second.kind = kind;
            return;
        }
        // Read once, when first seen: every settings read comes through here.
        watched.emplace(path, WatchedFile{kind, currentText(path), false, {}});
        added = noticesRunning;
    }
    if (added) watchFolder(folderOf(path));
}

void beforeOwnWrite(const std::string& path, const std::optional<std::string>& text) {
    watchFile(path, WatchedKind::Settings);
    std::lock_guard<std::mutex> guard(watchLock);
    WatchedFile& file = watched.at(path);
    if (text != file.known) file.changedUnderOwnWrite = true;
}

void afterOwnWrite(const std::string& path, const std::optional<std::string>& text) {
    std::lock_guard<std::mutex> guard(watchLock);
    auto found = watched.find(path);
    if (found != watched.end()) found->second.known = text;
}

void startLiveReload(HWND window) {
    if (!startChangeNotices(window)) return;
    std::vector<std::string> folders;
    {
        std::lock_guard<std::mutex> guard(watchLock);
        noticesRunning = true;
        for (const auto& [path, file] : watched) folders.push_back(folderOf(path));
    }
    for (const auto& folder : folders) watchFolder(folder);
}

void stopLiveReload() {
    stopChangeNotices();
    std::lock_guard<std::mutex> guard(watchLock);
    noticesRunning = false;
    watched.clear();
}

bool reloadChangedFiles() {
    bool changed = false;
    std::string changes;
    {
        std::lock_guard<std::mutex> guard(watchLock);
        for (auto& entry : watched) {
            // Named, not a structured binding: clang before 16 cannot capture those.
            const std::string& path = entry.first;
            auto& file = entry.second;
            // Each trouble is said once, until the file is good again.
            auto say = [&file](const char* kind, const std::string& trouble) {
                if (kind != file.reported) std::fprintf(stderr, "obsidel: %s\n", trouble.c_str());
                std::fflush(stderr);
                file.reported = kind;
            };
            const std::string name = std::string("the ") + what(file.kind) + " file " + path;
            std::optional<std::string> text = currentText(path);
            if (!text) {
                if (file.known) say("gone", name + " is gone; the plug-ins keep what they have until it is back");
                continue;
            }
            if (text == file.known && !file.changedUnderOwnWrite) {
                file.reported.clear();
                continue;
            }
            if (int line = firstUnreadableLine(*text, file.known.value_or(""))) {
                say("unreadable", name + ": line " + std::to_string(line) +
                    " is not \"key: value\"; the plug-ins keep the last good settings until it is fixed");
                continue;
            }
            file.known = text;
            file.changedUnderOwnWrite = false;
            file.reported.clear();
            changed = true;
            changes += (changes.empty() ? "" : ", ") + path;
        }
    }
    if (!changed) return false;
    std::fprintf(stderr, "obsidel: changed from outside: %s; reconfiguring the plug-ins\n", changes.c_str());
    std::fflush(stderr);
    return true;
}

}  // namespace obsidel
