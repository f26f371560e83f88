// Starting and stopping capture and the recording callback, against a test
// device that hands buffers back on the caller's thread and can fail at any
// step: the recording format, every row of the failed-start table, the stop
// and its failures, the bound on the stop's wait, and the callback's cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/capture.h"
#include "base/identity.h"
#include "fake_platform.h"
#include "plugin_reset.h"

namespace {

using vumira::plugin;
using Texts = std::vector<std::string>;

// The header of the capture that runs now.
WAVEHDR& runningHeader() { return plugin.capture.load()->header; }

class Capture : public testing::Test {
protected:
    void SetUp() override {
        fake::setUp();
        capturetest::resetPluginState();
    }
    void TearDown() override { fake::tearDown(); }

    static void expectIdleAndReleased() {
        EXPECT_EQ(plugin.capturing.load(), 0);
        EXPECT_EQ(fake::openDevices(), 0) << "a device was left open";
        EXPECT_EQ(fake::liveBuffers(), 0) << "a buffer was left allocated";
        EXPECT_EQ(fake::counts().badFrees, 0);
    }
};

TEST_F(Capture, OpensTheWaveMapperInMonoPcmBuiltFromTheSettings) {
    struct FormatCase {
        int kiloHertz, bits;
        DWORD samplesPerSecond;
        WORD bitsPerSample, blockAlign;
        DWORD bytesPerSecond;
    };
    const std::vector<FormatCase> cases = {
        {44, 16, 44000, 16, 2, 88000},
        {8, 8, 8000, 8, 1, 8000},
        {16, 16, 16000, 16, 2, 32000},
        {16, 0x10010, 16000, 16, 2, 32000},  // only the low 16 bits of the width count
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kiloHertz << " kHz, " << c.bits << " bits");
        fake::setUp();
        capturetest::resetPluginState();
        plugin.sampleRateKHz = c.kiloHertz;
        plugin.bitsPerSample = c.bits;
        ASSERT_EQ(vumira::startCapture(), 0);
        const fake::OpenCall open = fake::lastOpen();
        EXPECT_EQ(open.deviceId, WAVE_MAPPER);
        EXPECT_EQ(open.format.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(open.format.nChannels, 1);
        EXPECT_EQ(open.format.nSamplesPerSec, c.samplesPerSecond);
        EXPECT_EQ(open.format.wBitsPerSample, c.bitsPerSample);
        EXPECT_EQ(open.format.nBlockAlign, c.blockAlign);
        EXPECT_EQ(open.format.nAvgBytesPerSec, c.bytesPerSecond);
        EXPECT_EQ(open.format.cbSize, 0);
        EXPECT_EQ(open.callback, reinterpret_cast<DWORD_PTR>(&vumira::captureCallback));
        EXPECT_EQ(open.instance, 0u);
        EXPECT_EQ(open.flags, static_cast<DWORD>(CALLBACK_FUNCTION));
        EXPECT_EQ(vumira::stopCapture(), 0);
    }
}

TEST_F(Capture, StartQueuesOneClearedBufferOfBufferSizeBytes) {
    plugin.bufferSize = 128;
    ASSERT_EQ(vumira::startCapture(), 0);

    const fake::AllocCall alloc = fake::lastAlloc();
    EXPECT_EQ(alloc.address, nullptr);
    EXPECT_EQ(alloc.size, 128u);
    EXPECT_EQ(alloc.type, static_cast<DWORD>(MEM_COMMIT));
    EXPECT_EQ(alloc.protect, static_cast<DWORD>(PAGE_READWRITE));

    ASSERT_NE(plugin.capture.load(), nullptr);
    const WAVEHDR& header = runningHeader();
    EXPECT_NE(header.lpData, nullptr);
    EXPECT_EQ(header.dwBufferLength, 128u);
    EXPECT_EQ(header.dwUser, 0u);
    EXPECT_EQ(header.dwLoops, 0u);
    EXPECT_EQ(header.dwBytesRecorded, 0u);
    EXPECT_TRUE(header.dwFlags & WHDR_PREPARED);
    EXPECT_TRUE(fake::isQueued(&header));
    EXPECT_EQ(plugin.waveInHandle.load(), fake::currentDevice());
    EXPECT_EQ(plugin.capturing.load(), 1);
    EXPECT_EQ(plugin.returnedBuffers.load(), 0);
    EXPECT_EQ(fake::counts().starts, 1);
    EXPECT_TRUE(fake::messageTexts().empty());
}

TEST_F(Capture, StartWhileCapturingAndStopWhileIdleDoNothing) {
    EXPECT_EQ(vumira::stopCapture(), 1);
    EXPECT_EQ(fake::counts().resets, 0);
    EXPECT_EQ(fake::counts().closes, 0);

    ASSERT_EQ(vumira::startCapture(), 0);
    const LPSTR buffer = runningHeader().lpData;
    EXPECT_EQ(vumira::startCapture(), 1);
    EXPECT_EQ(fake::counts().opens, 1);
    EXPECT_EQ(fake::counts().allocations, 1);
    EXPECT_EQ(runningHeader().lpData, buffer);
    EXPECT_EQ(plugin.capturing.load(), 1);

    EXPECT_EQ(vumira::stopCapture(), 0);
    EXPECT_EQ(vumira::stopCapture(), 1);
    EXPECT_EQ(fake::counts().closes, 1);
    EXPECT_TRUE(fake::messageTexts().empty());
}

// The device hands the buffer back inside the reset, so it is counted
// before the stop reaches its wait: no sleep at all.
TEST_F(Capture, StopWithTheBufferAlreadyCountedReleasesAllWithoutSleeping) {
    ASSERT_EQ(vumira::startCapture(), 0);
    EXPECT_EQ(vumira::stopCapture(), 0);

    const fake::Counts counts = fake::counts();
    EXPECT_EQ(counts.sleeps, 0);
    EXPECT_EQ(counts.resets, 1);
    EXPECT_EQ(counts.unprepares, 1);
    EXPECT_EQ(counts.closes, 1);
    EXPECT_EQ(counts.frees, 1);
    EXPECT_EQ(plugin.returnedBuffers.load(), 1);
    EXPECT_EQ(plugin.capture.load(), nullptr);
    EXPECT_TRUE(fake::messageTexts().empty());
    expectIdleAndReleased();
}

TEST_F(Capture, EveryFailedStartIsReportedAndLeaksNothing) {
    struct FailedStart {
        fake::Step step;
        const char* message;
        int result;
        int capturingAfter;
    };
    const std::vector<FailedStart> cases = {
        {fake::Step::open, "Can't open WAVE In Device!", 1, 0},
        {fake::Step::allocate, "Can't allocate memory for WAVE buffer!", 0, 0},
        {fake::Step::prepare, "Error preparing WAVEHDR!", 0, 0},
        {fake::Step::queue, "Error queueing WAVEHDR!", 0, 0},
        {fake::Step::start, "Error starting record!", 0, 1},
    };
    for (const FailedStart& c : cases) {
        SCOPED_TRACE(c.message);
        fake::setUp({.failing = c.step});
        capturetest::resetPluginState();
        EXPECT_EQ(vumira::startCapture(), c.result);

        const auto boxes = fake::boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].owner, nullptr);
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_EQ(boxes[0].caption, vumira::identity::kNameAndVersion);
        EXPECT_EQ(boxes[0].type, 0x40010u);
        EXPECT_EQ(plugin.capturing.load(), c.capturingAfter);

        if (c.capturingAfter) {
            // The device did not start but holds the queued buffer: the plug-in
            // counts as capturing, and a stop brings the buffer back as usual.
            EXPECT_EQ(plugin.returnedBuffers.load(), 0);
            EXPECT_TRUE(fake::isQueued(&runningHeader()));
            EXPECT_EQ(fake::openDevices(), 1);
            EXPECT_EQ(vumira::stopCapture(), 0);
        } else {
            // What the start took is given back, and no stop has anything to do.
            EXPECT_EQ(fake::queuedHeaders(), 0);
            EXPECT_EQ(plugin.capture.load(), nullptr);
            EXPECT_EQ(plugin.waveInHandle.load(), nullptr);
            EXPECT_EQ(vumira::stopCapture(), 1);
        }
        EXPECT_EQ(fake::messageTexts().size(), 1u) << "the stop reported something";
        expectIdleAndReleased();
    }
}

TEST_F(Capture, AStartAfterAFailedOneWorks) {
    for (fake::Step step : {fake::Step::open, fake::Step::allocate, fake::Step::prepare, fake::Step::queue}) {
        fake::setUp({.failing = step});
        capturetest::resetPluginState();
        vumira::startCapture();
        fake::setUp();
        EXPECT_EQ(vumira::startCapture(), 0);
        EXPECT_EQ(plugin.capturing.load(), 1);
        EXPECT_EQ(vumira::stopCapture(), 0);
        EXPECT_TRUE(fake::messageTexts().empty());
        expectIdleAndReleased();
    }
}

TEST_F(Capture, AStopWhoseUnprepareOrCloseFailsReportsItAndStillEndsIdle) {
    struct FailedStop {
        fake::Options options;
        Texts messages;
    };
    const std::vector<FailedStop> cases = {
        {{.failing = fake::Step::unprepare}, {"Error unpreparing WAVEHDR!"}},
        {{.failing = fake::Step::close}, {"Can't close WAVE In Device!"}},
        {{.failing = fake::Step::unprepare, .secondFailing = true},
         {"Error unpreparing WAVEHDR!", "Can't close WAVE In Device!"}},
    };
    for (const FailedStop& c : cases) {
        SCOPED_TRACE(c.messages.front());
        fake::setUp(c.options);
        capturetest::resetPluginState();
        ASSERT_EQ(vumira::startCapture(), 0);
        EXPECT_EQ(vumira::stopCapture(), 0);
        EXPECT_EQ(fake::messageTexts(), c.messages);
        EXPECT_EQ(plugin.capturing.load(), 0);
        EXPECT_EQ(fake::liveBuffers(), 0) << "the buffer is released whatever the device said";
        EXPECT_EQ(fake::counts().closes, 1);
    }
}

// A device that keeps its buffer through every reset: the stop repeats the
// reset at each 100 ms step, gives up after 5 s with its own message, and
// ends idle, leaving that buffer allocated since the device may still write it.
TEST_F(Capture, StopGivesUpAfterFiveSecondsAndLeavesTheKeptBufferAllocated) {
    fake::setUp({.resetHandsBack = false});
    ASSERT_EQ(vumira::startCapture(), 0);
    const HWAVEIN keeper = fake::currentDevice();
    const WAVEHDR* keptHeader = &runningHeader();
    EXPECT_EQ(vumira::stopCapture(), 0);

    const fake::Counts counts = fake::counts();
    EXPECT_EQ(counts.sleeps, 50);
    EXPECT_EQ(counts.sleptMs, 5000u);
    EXPECT_EQ(counts.resets, 51) << "the first reset and one after each step";
    EXPECT_EQ(counts.unprepares, 0) << "the header is still with the device";
    EXPECT_EQ(counts.frees, 0);
    EXPECT_EQ(counts.closes, 1) << "the stop tries to close the device";
    EXPECT_EQ(fake::liveBuffers(), 1);
    EXPECT_TRUE(fake::isQueued(keptHeader));

    const auto boxes = fake::boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Timed out waiting for the WAVE buffer!");
    EXPECT_EQ(boxes[0].caption, vumira::identity::kNameAndVersion);
    EXPECT_EQ(boxes[0].type, 0x40010u);
    EXPECT_EQ(plugin.capturing.load(), 0);
    EXPECT_EQ(plugin.waveInHandle.load(), nullptr);
    EXPECT_EQ(vumira::stopCapture(), 1);
    EXPECT_EQ(fake::liveBuffers(), 1) << "released while the device still holds it";

    // When the device at last hands the buffer back, it no longer concerns
    // the plug-in: nothing is analysed or queued again, and the next start
    // releases it with its device.
    plugin.bars[0].store(100);
    const int addsBefore = fake::counts().adds;
    ASSERT_TRUE(fake::handBackKept(keeper, std::vector<unsigned char>(64, 0x7F)));
    EXPECT_EQ(plugin.returnedBuffers.load(), 0);
    EXPECT_EQ(fake::counts().adds, addsBefore);
    EXPECT_EQ(plugin.bars[0].load(), 100);

    fake::keepBuffersOnReset(false);
    ASSERT_EQ(vumira::startCapture(), 0);
    EXPECT_EQ(fake::liveBuffers(), 1) << "the handed-back buffer was not released";
    EXPECT_EQ(vumira::stopCapture(), 0);
    expectIdleAndReleased();
}

// The fault a shared header would have: after a stop gave up on a device that
// keeps its buffer, the next start must hand the new device a header and a
// buffer of its own. The old device then records into what it holds and hands
// it back late; the new capture's header, buffer and bars stay untouched, and
// nothing is queued into either device.
TEST_F(Capture, ADeviceGivenUpOnNeverSharesItsBufferWithTheNextStart) {
    fake::setUp({.resetHandsBack = false});
    plugin.height.store(64);
    plugin.freqMax.store(2);
    ASSERT_EQ(vumira::startCapture(), 0);
    const HWAVEIN oldDevice = fake::currentDevice();
    const WAVEHDR* oldHeader = &runningHeader();
    const LPSTR oldBuffer = runningHeader().lpData;
    EXPECT_EQ(vumira::stopCapture(), 0);
    EXPECT_EQ(fake::messageTexts(), Texts{"Timed out waiting for the WAVE buffer!"});

    ASSERT_EQ(vumira::startCapture(), 0);
    fake::keepBuffersOnReset(false);
    WAVEHDR& header = runningHeader();
    EXPECT_NE(&header, oldHeader);
    EXPECT_NE(header.lpData, oldBuffer);
    EXPECT_NE(fake::currentDevice(), oldDevice);
    EXPECT_EQ(fake::liveBuffers(), 2);
    const std::vector<char> before(header.lpData, header.lpData + header.dwBufferLength);
    const DWORD flagsBefore = header.dwFlags;
    plugin.bars[0].store(100);
    const int addsBefore = fake::counts().adds;

    ASSERT_TRUE(fake::handBackKept(oldDevice, std::vector<unsigned char>(64, 0x7F)));
    EXPECT_EQ(std::vector<char>(header.lpData, header.lpData + header.dwBufferLength), before);
    EXPECT_EQ(header.dwFlags, flagsBefore);
    EXPECT_EQ(header.dwBytesRecorded, 0u);
    EXPECT_TRUE(fake::isQueued(&header));
    EXPECT_EQ(fake::queuedHeaders(), 1) << "the late buffer was queued again";
    EXPECT_EQ(fake::counts().adds, addsBefore);
    EXPECT_EQ(plugin.bars[0].load(), 100) << "the late buffer reached the analysis";

    // The running capture still records and stops as usual; its stop also
    // releases the old buffer and closes the old device.
    ASSERT_TRUE(fake::deliver(std::vector<unsigned char>(64, 0)));
    EXPECT_EQ(plugin.bars[0].load(), 75);
    EXPECT_EQ(vumira::stopCapture(), 0);
    EXPECT_EQ(fake::messageTexts().size(), 1u);
    expectIdleAndReleased();
}

TEST_F(Capture, CallbackActsOnlyOnDataMessages) {
    plugin.height.store(64);
    plugin.freqMax.store(2);
    ASSERT_EQ(vumira::startCapture(), 0);
    const HWAVEIN device = fake::currentDevice();
    const auto header = reinterpret_cast<DWORD_PTR>(&runningHeader());
    runningHeader().dwBytesRecorded = 2;
    runningHeader().lpData[0] = 9;
    plugin.bars[0].store(100);

    for (UINT message : {static_cast<UINT>(WIM_OPEN), static_cast<UINT>(WIM_CLOSE), 0x3C1u, 0u}) {
        SCOPED_TRACE(testing::Message() << "message " << message);
        vumira::captureCallback(device, message, 0, header, 0);
        EXPECT_EQ(plugin.bars[0].load(), 100);
        EXPECT_EQ(plugin.returnedBuffers.load(), 0);
        EXPECT_EQ(fake::counts().adds, 1);
    }
    EXPECT_EQ(vumira::stopCapture(), 0);
}

TEST_F(Capture, CallbackAnalysesWhatWasRecordedThenQueuesOrCounts) {
    struct CallbackCase {
        std::string name;
        int bufferSize;
        std::vector<unsigned char> recorded;
        bool stopping;
        int barAfter;  // band 0 from 100, f = 1
    };
    std::vector<unsigned char> loudAfter512(1024, 0);
    for (std::size_t i = 512; i < loudAfter512.size(); ++i) loudAfter512[i] = 0x7F;
    const std::vector<CallbackCase> cases = {
        {"a full buffer is analysed and queued again", 64, std::vector<unsigned char>(64, 0), false, 75},
        {"no recorded bytes: no analysis, queued again", 64, {}, false, 100},
        {"no recorded bytes while stopping: counted", 64, {}, true, 100},
        {"a short buffer while stopping: analysed and counted", 64, {120, 0, 0}, true, 120},
        // 1024 bytes of which the first 512 are silence: only they are analysed.
        {"only the first 512 bytes are analysed", 1024, loudAfter512, false, 75},
    };
    for (const CallbackCase& c : cases) {
        SCOPED_TRACE(c.name);
        fake::setUp();
        capturetest::resetPluginState();
        plugin.height.store(64);
        plugin.freqMax.store(2);
        plugin.bufferSize = c.bufferSize;
        ASSERT_EQ(vumira::startCapture(), 0);
        plugin.bars[0].store(100);
        vumira::CaptureBuffer* capture = plugin.capture.load();
        if (c.stopping) capture->queueing.store(0);  // as the stop does before its reset

        ASSERT_TRUE(fake::deliver(c.recorded));
        EXPECT_EQ(plugin.bars[0].load(), c.barAfter);
        EXPECT_EQ(fake::isQueued(&capture->header), !c.stopping);
        EXPECT_EQ(capture->returned.load(), c.stopping ? 1 : 0);

        capture->queueing.store(1);
        EXPECT_EQ(vumira::stopCapture(), 0);
        expectIdleAndReleased();
    }
}

}  // namespace
