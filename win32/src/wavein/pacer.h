// Holds a generated or file-fed device to the wall clock, so that it records
// no faster than a microphone would.
#pragma once

#include <chrono>
#include <cstddef>

namespace subset::wavein {

class Pacer {
public:
    using Clock = std::chrono::steady_clock;

    // `lead`: how far the recording may run ahead of the wall clock. A live
    // writer's sound that piled up (after a stall on either side) is read
    // at once within it, instead of staying late for good.
    explicit Pacer(unsigned rate, std::chrono::nanoseconds lead = {}) : rate_(rate), lead_(lead) {}

    // When the next `frames` frames will have been recorded in real time.
    Clock::time_point due(std::size_t frames);

    // Waits until `frames` more frames would have been recorded, less the
    // lead. After a stall (a slow reader, a writer that paused) it starts
    // afresh from now rather than rushing through the backlog; a lead lets
    // the backlog be read at once.
    void wait(std::size_t frames);

private:
    void anchorOnce();

    unsigned rate_;
    std::chrono::nanoseconds lead_;
    bool anchored_ = false;
    Clock::time_point anchor_{};
    unsigned long long framesSinceAnchor_ = 0;
};

}  // namespace subset::wavein
