// Painting while the capture thread writes the bars and peaks and asks for
// repaints from its own thread: the frames show the live bars, and under the
// thread sanitizer the paint and the capture callback share the arrays
// without a race.
#include "audio/capture.h"
#include "display_fixture.h"

namespace displaytest {
namespace {

class RenderLive : public PluginWindowTest {};

// Dispatches what the window's queue holds (the capture's repaints) for
// `milliseconds`.
void pumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < milliseconds) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(5);
    }
}

int barPixels() {
    int count = 0;
    const RECT client = PluginWindowTest::clientRectOfPlugin();
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x) count += GetPixel(plugin.backBufferDC, x, y) == kBar;
    return count;
}

// Captures until bars light the window (5 s at most), paints on for a
// while as the callback writes, and stops.
void captureUntilBarsShow(const char* what) {
    vumira::startCapture();
    ASSERT_EQ(plugin.capturing.load(), 1) << "the wave-in device did not open";
    int lit = 0;
    for (int tries = 0; tries < 100 && lit == 0; ++tries) {
        pumpFor(50);
        lit = barPixels();
    }
    EXPECT_GT(lit, 0) << "no " << what << " reached the window in 5 s of a tone";
    pumpFor(300);  // paints racing the callback's writes
    vumira::stopCapture();
    EXPECT_EQ(plugin.capturing.load(), 0);
}

TEST_F(RenderLive, FramesShowTheBarsThatTheCaptureWrites) {
    createFrameWindow(100, 25, 1, 0, 32, "h");
    plugin.bufferSize = 64;
    plugin.peakMarkers = true;
    vumira::copyText(plugin.peakType, "line");
    plugin.frameIntervalMs = 10;

    captureUntilBarsShow("bar");
    pumpFor(50);
}

TEST_F(RenderLive, FramesShowTheLogBandsThatTheCaptureWrites) {
    // The same in the log-band spectrum: the tone (1 kHz from the
    // environment's device) lights its band, and the paint reads the log
    // bars while the callback writes them.
    createFrameWindow(100, 25, 1, 0, 32, "h");
    plugin.peakMarkers = true;
    plugin.frameIntervalMs = 10;
    plugin.spectrum.logScale = 1;

    captureUntilBarsShow("log bar");
    plugin.spectrum.logScale = 0;
    pumpFor(50);
}

}  // namespace
}  // namespace displaytest
