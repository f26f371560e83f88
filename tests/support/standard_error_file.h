// Standard error into a file while this lives (POSIX), so that a test can
// read, or wait for, what the code under test or another thread printed.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "test_support.h"

namespace testsupport {

class StandardErrorToFile {
public:
    StandardErrorToFile() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int file = open(folder_.file("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, STDERR_FILENO);
        close(file);
    }
    ~StandardErrorToFile() {
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    StandardErrorToFile(const StandardErrorToFile&) = delete;
    StandardErrorToFile& operator=(const StandardErrorToFile&) = delete;

    std::string text() const { return readFile(folder_.file("stderr")); }
    // Waits (at most 20 s) until `part` was printed.
    bool waitFor(const std::string& part) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (text().find(part) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

private:
    TempDir folder_;
    int saved_ = -1;
};

}  // namespace testsupport
