// What the fuzz targets share besides their input: a temporary folder of
// the process's own for the files they write, and the way a target reports
// a broken promise (as a crash, which the fuzzer keeps and the replay
// tests fail on).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzzing {

namespace detail {
inline std::filesystem::path& scratchPath() {
    static std::filesystem::path path;
    return path;
}
}  // namespace detail

// Made private on first use and removed when the process ends.
inline const std::filesystem::path& scratchFolder() {
    static const bool made = [] {
        auto& path = detail::scratchPath();
        path = std::filesystem::temp_directory_path() / ("vumira-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(detail::scratchPath(), ignored);
        });
        return true;
    }();
    (void)made;
    return detail::scratchPath();
}

[[noreturn]] inline void fault(const char* target, const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s: [%s]\n", target, what, detail.c_str());
    std::abort();
}

}  // namespace fuzzing
