// Many open, start, reset and close cycles in the plug-in's way, stopping
// both before and after the first buffer came back: none may hang, lose
// its buffer or leave a callback behind.
#include <atomic>
#include <thread>

#include "recording.h"

namespace {

using namespace std::chrono_literals;

struct Capture {
    std::atomic<int> capturing{0};
    std::atomic<int> returned{0};
    std::atomic<int> buffers{0};
    std::atomic<int> opens{0};
    std::atomic<int> closes{0};
};

void CALLBACK captureCallback(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    auto* state = reinterpret_cast<Capture*>(instance);
    if (message == WIM_OPEN) state->opens++;
    if (message == WIM_CLOSE) state->closes++;
    if (message != WIM_DATA) return;
    state->buffers++;
    if (state->capturing.load(std::memory_order_acquire)) {
        waveInAddBuffer(device, reinterpret_cast<WAVEHDR*>(param1), sizeof(WAVEHDR));
    } else {
        state->returned.fetch_add(1, std::memory_order_release);
    }
}

TEST(WaveInCycles, ManyStartsAndStopsNeitherHangNorLoseTheBuffer) {
    // Wine connects to its sound server at every open, half a second each:
    // there the same path is taken fewer times.
    const int cycles = testsupport::runningUnderWine() ? 20 : 300;
    const char* devices[] = {"tone:1000", "demo"};
    const WAVEFORMATEX format = wavetest::pcmFormat(16000, 1, 16);
    std::vector<char> storage(64);
    Capture state;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ASSERT_TRUE(wavetest::chooseDevice(devices[cycle % 2]));
        HWAVEIN device = nullptr;
        ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&captureCallback),
                             reinterpret_cast<DWORD_PTR>(&state), CALLBACK_FUNCTION),
                  MMSYSERR_NOERROR)
            << "cycle " << cycle;
        WAVEHDR header{};
        header.lpData = storage.data();
        header.dwBufferLength = DWORD(storage.size());
        ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
        state.returned.store(0, std::memory_order_relaxed);
        state.capturing.store(1, std::memory_order_release);
        const int before = state.buffers;
        ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
        if (cycle % 3 != 0) {  // two cycles in three stop after some sound, one at once
            const auto end = std::chrono::steady_clock::now() + 20s;
            while (state.buffers - before < 2 && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
            ASSERT_GE(state.buffers - before, 2) << "cycle " << cycle << ": no sound arrived";
        }
        state.capturing.store(0, std::memory_order_release);
        ASSERT_EQ(waveInReset(device), MMSYSERR_NOERROR);
        ASSERT_TRUE(wavetest::backWhenTheCallReturns([&] { return state.returned.load(std::memory_order_acquire) == 1; }))
            << "cycle " << cycle << ": the buffer did not come back";
        ASSERT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR) << "cycle " << cycle;
        ASSERT_EQ(waveInClose(device), MMSYSERR_NOERROR) << "cycle " << cycle;
    }
    EXPECT_EQ(state.opens.load(), cycles);
    EXPECT_EQ(state.closes.load(), cycles);
}

}  // namespace
