// Real-time pacing for the tone, demo, file and raw devices (see pacer.h).
#include "wavein/pacer.h"

#include <thread>

namespace win32subset::wavein {

namespace {
// Further behind than this, the backlog is dropped instead of delivered in a burst.
constexpr auto kLargestLag = std::chrono::milliseconds(250);
}  // namespace

void Pacer::wait(std::size_t frames) {
    const auto now = Clock::now();
    if (!anchored_) {
        anchored_ = true;
        anchor_ = now;
        framesSinceAnchor_ = 0;
    }
    framesSinceAnchor_ += frames;
    const auto due = anchor_ + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(double(framesSinceAnchor_) / rate_));
    if (now > due + kLargestLag) {
        anchor_ = now;
        framesSinceAnchor_ = 0;
        return;
    }
    std::this_thread::sleep_until(due);
}

}  // namespace win32subset::wavein
