// The stop handshake with the callback on a thread of its own: a callback
// that is still analysing when the stop begins, one that queues its buffer
// again just after the reset, a device given up on that hands its buffer
// back late while the next capture runs, many start/stop cycles against a
// device that streams from its own thread, and no allocation inside the
// callback.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "audio/capture.h"
#include "fake_platform.h"
#include "plugin_reset.h"

namespace {

using vumira::plugin;
using namespace std::chrono_literals;

// A signal that one thread raises and another waits for.
class Signal {
public:
    void raise() {
        {
            std::lock_guard<std::mutex> held(lock_);
            raised_ = true;
        }
        changed_.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> held(lock_);
        changed_.wait(held, [this] { return raised_; });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool raised_ = false;
};

class Handshake : public testing::Test {
protected:
    void SetUp() override { capturetest::resetPluginState(); }
    void TearDown() override { fake::tearDown(); }

    static void expectIdleAndReleased() {
        EXPECT_EQ(fake::messageTexts(), std::vector<std::string>{});
        EXPECT_EQ(plugin.capturing.load(), 0);
        EXPECT_EQ(fake::openDevices(), 0);
        EXPECT_EQ(fake::liveBuffers(), 0);
        EXPECT_EQ(fake::counts().badFrees, 0);
    }
};

// The callback is inside its analysis when the stop clears `capturing` and
// resets (nothing is queued then); at its end it reads 0 and counts the
// buffer, which ends the stop's wait.
TEST_F(Handshake, ACallbackStillAnalysingWhenTheStopBeginsCountsItsBuffer) {
    fake::setUp();
    ASSERT_EQ(vumira::startCapture(), 0);

    Signal analysing, release, counted;
    fake::onTick([&] {
        analysing.raise();
        release.wait();
    });
    std::thread device([&] {
        fake::deliver(std::vector<unsigned char>(64, 0x10));
        counted.raise();
    });
    analysing.wait();
    fake::onTick(nullptr);
    fake::onSleep([&] {
        release.raise();
        counted.wait();
    });

    EXPECT_EQ(vumira::stopCapture(), 0);
    device.join();
    const fake::Counts counts = fake::counts();
    EXPECT_EQ(counts.adds, 1) << "the buffer was queued again";
    EXPECT_EQ(counts.sleeps, 1);
    EXPECT_EQ(plugin.returnedBuffers.load(), 1);
    expectIdleAndReleased();
}

// The callback read `capturing` as 1 just before the stop cleared it, and
// queues the buffer again only after the stop's reset: the reset repeated at
// the next step hands it back.
TEST_F(Handshake, ABufferQueuedAgainAfterTheResetIsBroughtBackByTheNextReset) {
    fake::setUp();
    ASSERT_EQ(vumira::startCapture(), 0);

    Signal queueing, release, queued;
    fake::onAddBuffer([&] {
        queueing.raise();
        release.wait();
    });
    std::thread device([&] {
        fake::deliver(std::vector<unsigned char>(64, 0x10));
        queued.raise();
    });
    queueing.wait();
    fake::onAddBuffer(nullptr);
    fake::onSleep([&] {
        release.raise();
        queued.wait();
    });

    EXPECT_EQ(vumira::stopCapture(), 0);
    device.join();
    const fake::Counts counts = fake::counts();
    EXPECT_EQ(counts.adds, 2) << "the start's and the late callback's";
    EXPECT_EQ(counts.sleeps, 1);
    EXPECT_EQ(counts.resets, 2);
    EXPECT_EQ(plugin.returnedBuffers.load(), 1);
    expectIdleAndReleased();
}

// The device fills and returns the buffer from its own thread and hands it
// back after a reset, holding anything from 0 to 69 bytes (odd counts and
// counts that are no power of two among them); the stop must come home
// every time without a message and leave nothing behind.
TEST_F(Handshake, ManyStartStopCyclesAgainstAStreamingDeviceEndCleanly) {
    constexpr int kCycles = 300;
    std::mt19937 random(99);
    std::uniform_int_distribution<int> pause(0, 400);
    plugin.peakMarkers.store(true);
    plugin.freqMax.store(64);
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SCOPED_TRACE(testing::Message() << "cycle " << cycle);
        fake::setUp({.streaming = true, .resetBytes = static_cast<DWORD>(cycle % 70), .tickStep = 7});
        plugin.bufferSize = 32 << (cycle % 4);
        plugin.pluginWindow.store(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x77)));
        ASSERT_EQ(vumira::startCapture(), 0);
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        ASSERT_EQ(vumira::stopCapture(), 0);
        expectIdleAndReleased();
        if (HasFailure()) break;
    }
}

// The callback of one capture is still analysing when its stop gives up
// (that device's reset does not wait for it) and the next start opens a new
// device. When the late callback ends, it must count its buffer on its own
// record: neither queue it into the old device as if capture ran on, nor
// touch the new device's header. The next stop then releases the old buffer.
TEST_F(Handshake, ALateCallbackFromADeviceGivenUpOnNeitherQueuesNorTouchesTheNextCapture) {
    fake::setUp();
    ASSERT_EQ(vumira::startCapture(), 0);
    const HWAVEIN oldDevice = fake::currentDevice();

    Signal analysing, release;
    fake::onTick([&] {
        analysing.raise();
        release.wait();
    });
    std::thread late([&] { fake::deliver(std::vector<unsigned char>(64, 0x10)); });
    analysing.wait();
    fake::onTick(nullptr);

    EXPECT_EQ(vumira::stopCapture(), 0);
    EXPECT_EQ(fake::messageTexts(), std::vector<std::string>{"Timed out waiting for the WAVE buffer!"});
    ASSERT_EQ(vumira::startCapture(), 0);
    ASSERT_NE(fake::currentDevice(), oldDevice);
    const WAVEHDR* header = &plugin.capture.load()->header;
    const int addsBefore = fake::counts().adds;

    release.raise();
    late.join();
    EXPECT_EQ(fake::counts().adds, addsBefore) << "the late buffer was queued again";
    EXPECT_TRUE(fake::isQueued(header));
    EXPECT_EQ(fake::queuedHeaders(), 1);
    EXPECT_EQ(header->dwBytesRecorded, 0u);

    EXPECT_EQ(vumira::stopCapture(), 0);
    EXPECT_EQ(fake::messageTexts().size(), 1u);
    EXPECT_EQ(plugin.capturing.load(), 0);
    EXPECT_EQ(fake::openDevices(), 0);
    EXPECT_EQ(fake::liveBuffers(), 0);
    EXPECT_EQ(fake::counts().badFrees, 0);
}

// A device given up on hands its buffer back, with fresh bytes, from a
// thread of its own while the next capture streams from the device thread:
// the two never share memory, and every buffer is released in the end.
TEST_F(Handshake, ADeviceGivenUpOnHandsItsBufferBackWhileTheNextCaptureStreams) {
    constexpr int kCycles = 6;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SCOPED_TRACE(testing::Message() << "cycle " << cycle);
        capturetest::resetPluginState();
        fake::setUp({.resetHandsBack = false, .streaming = true, .tickStep = 3});
        plugin.pluginWindow.store(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x77)));
        ASSERT_EQ(vumira::startCapture(), 0);
        const HWAVEIN oldDevice = fake::currentDevice();
        // Let it stream a while, then stop with the buffer queued: the reset
        // keeps it, and the stop gives up.
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (fake::counts().deliveries < 20 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        fake::holdStreaming(true);
        while (fake::queuedHeaders() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        ASSERT_EQ(vumira::stopCapture(), 0);
        ASSERT_EQ(fake::messageTexts(), std::vector<std::string>{"Timed out waiting for the WAVE buffer!"});

        ASSERT_EQ(vumira::startCapture(), 0);
        fake::keepBuffersOnReset(false);
        fake::holdStreaming(false);
        const int deliveriesBefore = fake::counts().deliveries;
        std::thread late([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(cycle * 3));
            EXPECT_TRUE(fake::handBackKept(oldDevice, std::vector<unsigned char>(256, 0x7F)));
        });
        while (fake::counts().deliveries < deliveriesBefore + 50 && std::chrono::steady_clock::now() < deadline + 5s)
            std::this_thread::sleep_for(1ms);
        late.join();
        ASSERT_EQ(vumira::stopCapture(), 0);
        EXPECT_EQ(fake::messageTexts().size(), 1u);
        EXPECT_EQ(plugin.capturing.load(), 0);
        EXPECT_EQ(fake::openDevices(), 0);
        EXPECT_EQ(fake::liveBuffers(), 0);
        EXPECT_EQ(fake::counts().badFrees, 0);
        if (HasFailure()) break;
    }
}

TEST_F(Handshake, TheCallbackAllocatesNothing) {
    // The counter itself must see an allocation made inside a scope.
    allocations::reset();
    {
        allocations::Scope scope;
        static int* volatile sink;
        sink = new int(1);
        delete sink;
    }
    ASSERT_GT(allocations::counted(), 0) << "the allocation counter is not in place";

    fake::setUp({.streaming = true, .countCallbackAllocations = true, .tickStep = 5});
    plugin.peakMarkers.store(true);
    plugin.bufferSize = 256;
    plugin.freqMax.store(255);
    plugin.pluginWindow.store(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x77)));
    ASSERT_EQ(vumira::startCapture(), 0);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (fake::counts().deliveries < 500 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(vumira::stopCapture(), 0);

    EXPECT_GE(fake::counts().deliveries, 500);
    EXPECT_FALSE(fake::repaints().empty()) << "the repaint path did not run";
    EXPECT_EQ(fake::callbackAllocations(), 0);
    if (!allocations::countsMalloc()) std::printf("note: malloc is not counted in a sanitizer build\n");
}

}  // namespace
