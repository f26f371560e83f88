// A device left open (as a stop that timed out leaves it) whose callback
// lies in a module that is then unloaded: the subset never calls into the
// unloaded code, and the device can still be reset and closed afterwards.
// The subset's own promise (on Windows the process would crash): Linux only.
#include <windows.h>
#include <mmsystem.h>
#include <win32subset.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "recording.h"

namespace {

TEST(WaveInModuleUnload, ADeviceNeverCallsIntoAModuleThatWasUnloaded) {
    ASSERT_TRUE(wavetest::chooseDevice("tone:440"));
    HMODULE module = LoadLibraryA(LATE_CALLBACK_MODULE);
    ASSERT_NE(module, nullptr);
    const FARPROC found = GetProcAddress(module, "countAndRequeue");
    ASSERT_NE(found, nullptr);
    WAVEINPROC callback = nullptr;
    std::memcpy(&callback, &found, sizeof callback);

    std::atomic<int> handedBack{0};
    WAVEFORMATEX format = wavetest::pcmFormat(8000, 1, 16);
    HWAVEIN device = nullptr;
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(callback),
                         reinterpret_cast<DWORD_PTR>(&handedBack), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    static char data[2][160];  // 10 ms each: many callbacks a second
    WAVEHDR headers[2]{};
    for (int i = 0; i < 2; ++i) {
        headers[i].lpData = data[i];
        headers[i].dwBufferLength = sizeof data[i];
        ASSERT_EQ(waveInPrepareHeader(device, &headers[i], sizeof headers[i]), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(device, &headers[i], sizeof headers[i]), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(wavetest::waitUntil([&] { return handedBack.load() > 5; })) << "the callback was never called";

    // The module goes while the device records on: had a callback run in
    // its code after this, the test would have crashed.
    ASSERT_TRUE(FreeLibrary(module));
    const int atUnload = handedBack.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(handedBack.load(), atUnload) << "the device called the unloaded module";

    // Buffers still come back (no callback to hear of it), so the device ends as usual.
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    for (WAVEHDR& header : headers) EXPECT_NE(header.dwFlags & WHDR_DONE, 0u);
    for (WAVEHDR& header : headers) EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

}  // namespace
