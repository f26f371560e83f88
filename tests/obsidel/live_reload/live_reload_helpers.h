// What the live-reload tests share: the host's words for a reload, the
// menu as `obsidel --menu` prints it, and a wait longer than the host's.
#pragma once

#include <chrono>
#include <string>
#include <thread>

#include "running_host.h"

namespace livereload {

constexpr const char* kReloaded = "changed from outside: ";

// Whether the menu, as `obsidel --menu` prints it, holds `line`.
inline bool menuShows(const testsupport::RunningHost& host, const std::string& line) {
    testsupport::Finished menu = host.run({"--menu"});
    return menu.status == 0 && menu.out.find(line) != std::string::npos;
}

// Longer than the host waits for the notices to settle: whatever a change
// was going to start has started by then.
inline void letNoticesSettle() { std::this_thread::sleep_for(std::chrono::milliseconds(800)); }

inline size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The file's text with `from` replaced by `to` once, written back in place
// by this process (another process than the host), as an editor may save.
inline void replaceInFile(const std::string& path, const std::string& from, const std::string& to) {
    std::string text = testsupport::readFile(path);
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    testsupport::writeFile(path, text);
}

}  // namespace livereload
