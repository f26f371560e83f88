// Small helpers for the tests: temporary folders that clean up after
// themselves, and skips that turn into failures on CI.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace testsupport {

inline bool onCi() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

// A test that needs a part of the machine (a sound server, an X server)
// skips when it is missing, except on CI, where the part must be there.
#define SKIP_OR_FAIL_WITHOUT(condition, what)                                            \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            if (::testsupport::onCi()) FAIL() << "missing on CI: " << (what);            \
            GTEST_SKIP() << "missing: " << (what);                                       \
        }                                                                                \
    } while (0)

class TempDir {
public:
    TempDir() {
        std::random_device random;
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("vumira-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
