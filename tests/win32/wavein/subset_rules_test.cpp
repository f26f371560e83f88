// What the Win32 subset promises beyond what every Win32 does (Wine, for
// one, opens most of the formats refused here and has no such reset): the
// formats and arguments it refuses, a queued buffer that cannot be queued
// or prepared again, a callback that cannot close its own device, and a
// reset that waits for a running callback and hands back the buffer it
// queues.
#include <atomic>
#include <thread>

#include "recording.h"

namespace {

using namespace std::chrono_literals;
using wavetest::pcmFormat;
using wavetest::waitUntil;

using wavetest::ignoring;


TEST(WaveInSubsetRules, OnlyPcmMonoOrStereoAtEightOrSixteenBitsFrom1000To192000Opens) {
    const struct {
        const char* what;
        WORD tag;
        WORD channels;
        DWORD rate;
        WORD bits;
        int blockAlignError;  // added to the right block alignment
        int bytesPerSecondError;
        MMRESULT expected;
    } cases[] = {
        {"lowest rate", WAVE_FORMAT_PCM, 1, 1000, 16, 0, 0, MMSYSERR_NOERROR},
        {"highest rate", WAVE_FORMAT_PCM, 2, 192000, 8, 0, 0, MMSYSERR_NOERROR},
        {"rate just below the lowest", WAVE_FORMAT_PCM, 1, 999, 16, 0, 0, WAVERR_BADFORMAT},
        {"rate just above the highest", WAVE_FORMAT_PCM, 1, 192001, 16, 0, 0, WAVERR_BADFORMAT},
        {"rate 0", WAVE_FORMAT_PCM, 1, 0, 16, 0, 0, WAVERR_BADFORMAT},
        {"no channels", WAVE_FORMAT_PCM, 0, 16000, 16, 0, 0, WAVERR_BADFORMAT},
        {"three channels", WAVE_FORMAT_PCM, 3, 16000, 16, 0, 0, WAVERR_BADFORMAT},
        {"24 bits", WAVE_FORMAT_PCM, 1, 16000, 24, 0, 0, WAVERR_BADFORMAT},
        {"12 bits", WAVE_FORMAT_PCM, 1, 16000, 12, 0, 0, WAVERR_BADFORMAT},
        {"0 bits", WAVE_FORMAT_PCM, 1, 16000, 0, 0, 0, WAVERR_BADFORMAT},
        {"floating point", 3, 1, 16000, 16, 0, 0, WAVERR_BADFORMAT},
        {"extensible", 0xFFFE, 1, 16000, 16, 0, 0, WAVERR_BADFORMAT},
        {"no format tag", 0, 1, 16000, 16, 0, 0, WAVERR_BADFORMAT},
        {"block alignment too large", WAVE_FORMAT_PCM, 1, 16000, 16, 1, 0, WAVERR_BADFORMAT},
        {"bytes a second wrong", WAVE_FORMAT_PCM, 2, 16000, 16, 0, -4, WAVERR_BADFORMAT},
    };
    ASSERT_TRUE(wavetest::chooseDevice("tone:300"));
    for (const auto& row : cases) {
        WAVEFORMATEX format{};
        format.wFormatTag = row.tag;
        format.nChannels = row.channels;
        format.nSamplesPerSec = row.rate;
        format.wBitsPerSample = row.bits;
        format.nBlockAlign = static_cast<WORD>(row.channels * (row.bits / 8) + row.blockAlignError);
        format.nAvgBytesPerSec = DWORD(int(format.nBlockAlign * row.rate) + row.bytesPerSecondError);

        EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY), row.expected)
            << row.what << " (asking only)";
        HWAVEIN device = reinterpret_cast<HWAVEIN>(1);
        EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), row.expected)
            << row.what;
        if (row.expected == MMSYSERR_NOERROR) {
            EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR) << row.what;
        } else {
            EXPECT_EQ(device, nullptr) << row.what << ": a refused open clears the handle";
        }
    }
}

TEST(WaveInSubsetRules, RefusesCallbacksItCannotGiveAndMissingArguments) {
    ASSERT_TRUE(wavetest::chooseDevice("tone:300"));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    const struct {
        const char* what;
        const WAVEFORMATEX* format;
        DWORD_PTR callback;
        DWORD flags;
        MMRESULT expected;
    } cases[] = {
        {"a window callback", &format, ignoring(), CALLBACK_WINDOW, MMSYSERR_INVALFLAG},
        {"an unknown flag", &format, ignoring(), CALLBACK_FUNCTION | 0x80000000u, MMSYSERR_INVALFLAG},
        {"no format", nullptr, ignoring(), CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},
        {"a function callback without a function", &format, 0, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},
    };
    for (const auto& row : cases) {
        HWAVEIN device = nullptr;
        EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, row.format, row.callback, 0, row.flags), row.expected) << row.what;
        EXPECT_EQ(device, nullptr) << row.what;
    }
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_INVALPARAM)
        << "no place for the handle";
}

TEST(WaveInSubsetRules, AQueuedBufferCannotBeQueuedOrPreparedAgain) {
    // Queued buffers are linked through the header; queueing one twice
    // would tie the queue into a loop.
    ASSERT_TRUE(wavetest::chooseDevice("tone:300"));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    HWAVEIN device = nullptr;
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_NOERROR);
    std::vector<char> storage(320);
    WAVEHDR header{};
    header.lpData = storage.data();
    header.dwBufferLength = DWORD(storage.size());
    ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInAddBuffer(device, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInPrepareHeader(device, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(header.dwFlags, DWORD(WHDR_PREPARED | WHDR_INQUEUE));
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

struct SelfCloser {
    std::atomic<MMRESULT> closeResult{MMSYSERR_NOERROR};
    std::atomic<bool> tried{false};
};

void CALLBACK closeFromInside(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    auto* state = reinterpret_cast<SelfCloser*>(instance);
    if (message != WIM_DATA || state->tried) return;
    state->closeResult = waveInClose(device);
    state->tried = true;
}

TEST(WaveInSubsetRules, ACallbackCannotCloseItsOwnDevice) {
    // The close would have to wait for the end of the thread it runs on.
    ASSERT_TRUE(wavetest::chooseDevice("tone:300"));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    SelfCloser state;
    HWAVEIN device = nullptr;
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&closeFromInside),
                         reinterpret_cast<DWORD_PTR>(&state), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    std::vector<char> storage(64);
    WAVEHDR header{};
    header.lpData = storage.data();
    header.dwBufferLength = DWORD(storage.size());
    ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(waitUntil([&] { return state.tried.load(); }));
    EXPECT_EQ(state.closeResult.load(), MMSYSERR_ERROR);
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

struct BackCount {
    std::atomic<int> back{0};
};

// A named CALLBACK rather than a lambda: a lambda's function pointer has the
// C calling convention, which on 32-bit Windows is not the callback's.
void CALLBACK countBack(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    if (message == WIM_DATA) reinterpret_cast<BackCount*>(instance)->back++;
}

TEST(WaveInSubsetRules, AResetReturnsOnlyOnceEveryQueuedBufferCameBack) {
    // Buffers already filled, one part-filled and one empty: all are back,
    // through callbacks that have returned, when the reset returns.
    ASSERT_TRUE(wavetest::chooseDevice("tone:1000"));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    BackCount count;
    HWAVEIN device = nullptr;
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&countBack),
                         reinterpret_cast<DWORD_PTR>(&count), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    std::vector<std::vector<char>> storage = {std::vector<char>(32), std::vector<char>(32), std::vector<char>(32000),
                                              std::vector<char>(32)};
    std::vector<WAVEHDR> headers(storage.size());
    for (std::size_t i = 0; i < storage.size(); ++i) {
        headers[i].lpData = storage[i].data();
        headers[i].dwBufferLength = DWORD(storage[i].size());
        ASSERT_EQ(waveInPrepareHeader(device, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(device, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    MMTIME time{};
    time.wType = TIME_BYTES;
    ASSERT_TRUE(waitUntil([&] { return waveInGetPosition(device, &time, sizeof time) == 0 && time.u.cb > 64; }));
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    EXPECT_EQ(count.back.load(), 4);
    for (auto& header : headers) {
        EXPECT_EQ(header.dwFlags, DWORD(WHDR_PREPARED | WHDR_DONE));
        EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

// The stop handshake's hard case: the callback has read "capturing" as set,
// the other thread clears it and resets, and only then does the callback
// queue its buffer again. The reset must hand that buffer back too.
struct LateRequeue {
    std::atomic<int> capturing{1};
    std::atomic<int> returned{0};
    std::atomic<bool> inCallback{false};
    std::atomic<bool> resetComing{false};
    std::atomic<bool> first{true};
};

void CALLBACK requeueLate(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    if (message != WIM_DATA) return;
    auto* state = reinterpret_cast<LateRequeue*>(instance);
    const bool capturing = state->capturing.load(std::memory_order_acquire);
    if (state->first.exchange(false)) {
        state->inCallback = true;
        waitUntil([&] { return state->resetComing.load(); });
        std::this_thread::sleep_for(50ms);  // let the reset start while this callback runs
    }
    if (capturing) {
        waveInAddBuffer(device, reinterpret_cast<WAVEHDR*>(param1), sizeof(WAVEHDR));
    } else {
        state->returned.fetch_add(1, std::memory_order_release);
    }
}

TEST(WaveInSubsetRules, AResetWaitsForARunningCallbackAndHandsBackTheBufferItQueues) {
    ASSERT_TRUE(wavetest::chooseDevice("tone:1000"));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    LateRequeue state;
    std::vector<char> storage(64);
    HWAVEIN device = nullptr;
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&requeueLate),
                         reinterpret_cast<DWORD_PTR>(&state), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    WAVEHDR header{};
    header.lpData = storage.data();
    header.dwBufferLength = DWORD(storage.size());
    ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(waitUntil([&] { return state.inCallback.load(); }));

    state.capturing.store(0, std::memory_order_release);
    state.resetComing = true;
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    EXPECT_EQ(state.returned.load(std::memory_order_acquire), 1) << "the buffer queued late was handed back";
    EXPECT_EQ(header.dwFlags & WHDR_INQUEUE, 0u);
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

}  // namespace
