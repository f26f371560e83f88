// Holds a generated or file-fed device to the wall clock, so that it records
// no faster than a microphone would.
#pragma once

#include <chrono>
#include <cstddef>

namespace subset::wavein {

class Pacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit Pacer(unsigned rate) : rate_(rate) {}

    // When the next `frames` frames will have been recorded in real time.
    Clock::time_point due(std::size_t frames);

    // Waits until `frames` more frames would have been recorded. After a
    // stall (a slow reader, a writer that paused) it starts afresh from now
    // rather than rushing through the backlog.
    void wait(std::size_t frames);

private:
    void anchorOnce();

    unsigned rate_;
    bool anchored_ = false;
    Clock::time_point anchor_{};
    unsigned long long framesSinceAnchor_ = 0;
};

}  // namespace subset::wavein
