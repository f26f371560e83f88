// Real-time pacing for the tone, demo, file and raw devices (see pacer.h).
#include "wavein/pacer.h"

#include <thread>

namespace subset::wavein {

namespace {
// Further behind than this, the backlog is dropped instead of delivered in a burst.
constexpr auto kLargestLag = std::chrono::milliseconds(250);
}  // namespace

void Pacer::anchorOnce() {
    if (anchored_) return;
    anchored_ = true;
    anchor_ = Clock::now();
    framesSinceAnchor_ = 0;
}

Pacer::Clock::time_point Pacer::due(std::size_t frames) {
    anchorOnce();
    return anchor_ + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(double(framesSinceAnchor_ + frames) / rate_));
}

void Pacer::wait(std::size_t frames) {
    const auto until = due(frames);
    const auto now = Clock::now();
    if (now > until + kLargestLag) {
        anchor_ = now;
        framesSinceAnchor_ = 0;
        return;
    }
    framesSinceAnchor_ += frames;
    std::this_thread::sleep_until(until - lead_);
}

}  // namespace subset::wavein
