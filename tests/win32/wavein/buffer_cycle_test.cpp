// The life of a recording buffer: prepared, queued, filled and handed back
// through the callback on the device's thread, queued again from inside the
// callback, handed back part-filled by a reset or a stop; and the errors
// for a buffer used while it is queued.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <vector>
#include <thread>

#include "known_difference.h"
#include "recording.h"

namespace {

using namespace std::chrono_literals;
using wavetest::backWhenTheCallReturns;
using wavetest::pcmFormat;
using wavetest::waitUntil;


// What each callback saw, in order.
struct Event {
    HWAVEIN device;
    UINT message;
    DWORD_PTR param1;
    std::thread::id thread;
    DWORD bytes = 0;
    DWORD flags = 0;
};

struct CallbackLog {
    std::mutex lock;
    std::vector<Event> events;
    std::atomic<bool> requeue{false};

    std::vector<Event> snapshot() {
        std::lock_guard<std::mutex> held(lock);
        return events;
    }
    std::size_t dataCount() {
        std::lock_guard<std::mutex> held(lock);
        std::size_t count = 0;
        for (const auto& event : events) count += event.message == WIM_DATA;
        return count;
    }
};

void CALLBACK logMessages(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    auto* log = reinterpret_cast<CallbackLog*>(instance);
    Event event{device, message, param1, std::this_thread::get_id()};
    if (message == WIM_DATA) {
        const auto* header = reinterpret_cast<WAVEHDR*>(param1);
        event.bytes = header->dwBytesRecorded;
        event.flags = header->dwFlags;
    }
    {
        std::lock_guard<std::mutex> held(log->lock);
        log->events.push_back(event);
    }
    if (message == WIM_DATA && log->requeue) waveInAddBuffer(device, reinterpret_cast<WAVEHDR*>(param1), sizeof(WAVEHDR));
}

HWAVEIN openLogged(const char* deviceText, const WAVEFORMATEX& format, CallbackLog& log) {
    EXPECT_TRUE(wavetest::chooseDevice(deviceText));
    HWAVEIN device = nullptr;
    EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&logMessages),
                         reinterpret_cast<DWORD_PTR>(&log), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    return device;
}

WAVEHDR headerFor(std::vector<char>& storage) {
    WAVEHDR header{};
    header.lpData = storage.data();
    header.dwBufferLength = DWORD(storage.size());
    return header;
}

DWORD positionBytes(HWAVEIN device) {
    MMTIME time{};
    time.wType = TIME_BYTES;
    EXPECT_EQ(waveInGetPosition(device, &time, sizeof time), MMSYSERR_NOERROR);
    EXPECT_EQ(time.wType, UINT(TIME_BYTES));
    return time.u.cb;
}

TEST(WaveInBufferCycle, OpenAndCloseComeFromTheirCallsAndBuffersFromTheDevicesThread) {
    CallbackLog log;
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    HWAVEIN device = openLogged("tone:1000", format, log);
    ASSERT_NE(device, nullptr);
    auto events = log.snapshot();
    ASSERT_EQ(events.size(), 1u) << "WIM_OPEN arrives before waveInOpen returns";
    EXPECT_EQ(events[0].message, UINT(WIM_OPEN));
    EXPECT_EQ(events[0].device, device);
    EXPECT_EQ(events[0].param1, 0u);
    EXPECT_EQ(events[0].thread, std::this_thread::get_id()) << "from inside waveInOpen";

    std::vector<char> storage(640);  // 20 ms
    WAVEHDR header = headerFor(storage);
    ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(header.dwFlags, DWORD(WHDR_PREPARED));
    ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(header.dwFlags, DWORD(WHDR_PREPARED | WHDR_INQUEUE));
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(waitUntil([&] { return log.dataCount() == 1; })) << "no buffer came back";
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(header.dwFlags, DWORD(WHDR_DONE));
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);

    events = log.snapshot();
    ASSERT_EQ(events.size(), 3u) << "open, one buffer, close";
    EXPECT_EQ(events[1].message, UINT(WIM_DATA));
    EXPECT_EQ(events[1].param1, reinterpret_cast<DWORD_PTR>(&header));
    EXPECT_EQ(events[1].bytes, 640u) << "a full buffer";
    EXPECT_EQ(events[1].flags, DWORD(WHDR_PREPARED | WHDR_DONE));
    EXPECT_NE(events[1].thread, std::this_thread::get_id()) << "on the device's own thread";
    EXPECT_EQ(events[2].message, UINT(WIM_CLOSE)) << "WIM_CLOSE arrives before waveInClose returns";
    EXPECT_EQ(events[2].thread, std::this_thread::get_id()) << "from inside waveInClose";
    for (const auto& event : events) EXPECT_EQ(event.device, device);
}

TEST(WaveInBufferCycle, ABufferHoldsWholeFramesOnly) {
    const struct {
        DWORD length;
        DWORD recorded;
    } cases[] = {
        {1001, 1000},  // 16-bit stereo: 4 bytes a frame
        {1000, 1000},
        {5, 4},
        {3, 0},  // not even one frame: back at once, empty
    };
    const WAVEFORMATEX format = pcmFormat(8000, 2, 16);
    for (const auto& row : cases) {
        CallbackLog log;
        HWAVEIN device = openLogged("tone:700", format, log);
        ASSERT_NE(device, nullptr);
        std::vector<char> storage(row.length);
        WAVEHDR header = headerFor(storage);
        ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
        EXPECT_TRUE(waitUntil([&] { return log.dataCount() == 1; })) << row.length;
        EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
        EXPECT_EQ(header.dwBytesRecorded, row.recorded) << "buffer of " << row.length << " bytes";
        EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
        EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
    }
}

TEST(WaveInBufferCycle, AQueuedBufferCannotBeUnpreparedOrLeftBehindByClose) {
    CallbackLog log;
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    HWAVEIN device = openLogged("tone:1000", format, log);
    ASSERT_NE(device, nullptr);
    std::vector<char> storage(3200), other(3200);
    WAVEHDR header = headerFor(storage);
    WAVEHDR unprepared = headerFor(other);

    EXPECT_EQ(waveInAddBuffer(device, &unprepared, sizeof unprepared), WAVERR_UNPREPARED);
    EXPECT_EQ(waveInPrepareHeader(device, &header, sizeof(WAVEHDR) - 1), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveInPrepareHeader(device, nullptr, sizeof(WAVEHDR)), MMSYSERR_INVALPARAM);
    ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR) << "preparing twice is harmless";
    EXPECT_EQ(waveInAddBuffer(device, &header, sizeof(WAVEHDR) - 1), MMSYSERR_INVALPARAM);
    ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);

    // Not started: the buffer stays queued.
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(header.dwFlags, DWORD(WHDR_PREPARED | WHDR_INQUEUE)) << "refused calls leave the flags";
    const MMRESULT closedWhileQueued = waveInClose(device);
    KNOWN_WINE_DIFFERENCE("Wine closes a device that still holds a buffer that was never started",
                          EXPECT_EQ(closedWhileQueued, WAVERR_STILLPLAYING));
    if (closedWhileQueued == MMSYSERR_NOERROR) return;  // the device is gone

    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    EXPECT_TRUE(backWhenTheCallReturns([&] { return log.dataCount() == 1; })) << "the reset hands the buffer back";
    EXPECT_EQ(header.dwBytesRecorded, 0u) << "nothing was recorded before the start";
    EXPECT_EQ(header.dwFlags, DWORD(WHDR_PREPARED | WHDR_DONE));
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

// The plug-in's way: one buffer, queued again from inside the callback while
// capturing, counted once capturing has ended; the stop handshake.
struct Circulation {
    std::atomic<int> capturing{0};
    std::atomic<int> returned{0};
    std::atomic<int> full{0};
    std::atomic<int> buffers{0};
    DWORD length = 0;
};

void CALLBACK circulate(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    if (message != WIM_DATA) return;
    auto* state = reinterpret_cast<Circulation*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    state->buffers++;
    if (header->dwBytesRecorded == state->length) state->full++;
    if (state->capturing.load(std::memory_order_acquire)) {
        waveInAddBuffer(device, header, sizeof(WAVEHDR));
    } else {
        state->returned.fetch_add(1, std::memory_order_release);
    }
}

// Opens the chosen device for `callback`, prepares and queues `header` and
// starts recording; null (with the failure noted) when a step fails.
HWAVEIN startWithOneBuffer(const WAVEFORMATEX& format, DWORD_PTR callback, DWORD_PTR instance, WAVEHDR& header) {
    HWAVEIN device = nullptr;
    if (waveInOpen(&device, WAVE_MAPPER, &format, callback, instance, CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        ADD_FAILURE() << "waveInOpen failed";
        return nullptr;
    }
    EXPECT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    return device;
}

TEST(WaveInBufferCycle, ABufferQueuedAgainFromTheCallbackCirculatesUntilTheReset) {
    ASSERT_TRUE(wavetest::chooseDevice("tone:1000"));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Circulation state;
    std::vector<char> storage(64);  // 2 ms, as the plug-in's default
    state.length = 64;
    state.capturing = 1;
    WAVEHDR header = headerFor(storage);
    HWAVEIN device = startWithOneBuffer(format, reinterpret_cast<DWORD_PTR>(&circulate),
                                        reinterpret_cast<DWORD_PTR>(&state), header);
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(waitUntil([&] { return state.buffers >= 50; })) << "only " << state.buffers << " buffers came back";

    state.capturing.store(0, std::memory_order_release);
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    EXPECT_TRUE(backWhenTheCallReturns([&] { return state.returned.load(std::memory_order_acquire) == 1; }))
        << "the reset hands the buffer back, and the callback counts it";
    EXPECT_GE(state.full.load(), state.buffers.load() - 1) << "every buffer but the last comes back full";
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

// The samples of every full buffer, in the order they came back.
struct Continuity {
    std::mutex lock;
    std::vector<int16_t> samples;
    std::atomic<int> capturing{1};
    std::atomic<int> returned{0};
};

void CALLBACK gatherSamples(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    if (message != WIM_DATA) return;
    auto* state = reinterpret_cast<Continuity*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    if (!state->capturing.load(std::memory_order_acquire)) {
        state->returned.fetch_add(1, std::memory_order_release);
        return;
    }
    {
        const auto* first = reinterpret_cast<const int16_t*>(header->lpData);
        std::lock_guard<std::mutex> held(state->lock);
        state->samples.insert(state->samples.end(), first, first + header->dwBytesRecorded / 2);
    }
    waveInAddBuffer(device, header, sizeof(WAVEHDR));
}

TEST(WaveInBufferCycle, OneSmallBufferQueuedAgainFromTheCallbackMissesNoSound) {
    ASSERT_TRUE(wavetest::chooseDevice("tone:1000"));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Continuity state;
    std::vector<char> storage(64);  // 2 ms: the device reads more at a time, and keeps the rest for the next
    WAVEHDR header = headerFor(storage);
    HWAVEIN device = startWithOneBuffer(format, reinterpret_cast<DWORD_PTR>(&gatherSamples),
                                        reinterpret_cast<DWORD_PTR>(&state), header);
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard<std::mutex> held(state.lock);
        return state.samples.size() >= 8000;
    }));
    state.capturing.store(0, std::memory_order_release);
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    EXPECT_TRUE(backWhenTheCallReturns([&] { return state.returned.load(std::memory_order_acquire) == 1; }));
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);

    // A sine follows x[n + 1] = 2 cos(w) x[n] - x[n - 1] from sample to
    // sample; a lost or repeated piece between two buffers breaks it.
    std::lock_guard<std::mutex> held(state.lock);
    const double twoCos = 2 * std::cos(2 * 3.141592653589793 * 1000 / 16000);
    for (std::size_t n = 1; n + 1 < state.samples.size(); ++n) {
        const double predicted = twoCos * state.samples[n] - state.samples[n - 1];
        if (std::fabs(predicted - state.samples[n + 1]) > 200) {
            ADD_FAILURE() << "the tone breaks at sample " << n + 1 << " (buffer " << (n + 1) / 32 << ", "
                          << (n + 1) % 32 << " into it): " << state.samples[n + 1] << " where " << predicted
                          << " was due";
            break;
        }
    }
}

TEST(WaveInBufferCycle, TheResetHandsBackEveryQueuedBufferWithWhatItHolds) {
    CallbackLog log;
    const WAVEFORMATEX format = pcmFormat(16000, 2, 16);
    HWAVEIN device = openLogged("tone:1000", format, log);
    ASSERT_NE(device, nullptr);
    std::vector<char> first(64), second(64), large(64000);  // 1 ms, 1 ms, 1 s
    WAVEHDR headers[] = {headerFor(first), headerFor(second), headerFor(large)};
    for (auto& header : headers) {
        ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    // Until the two small buffers are back and the large one holds something
    // (the position counts what the buffers received). Waiting for the small
    // ones keeps this about the reset: Wine, asked to reset while buffers it
    // has filled are still on their way back, hands back the one being filled
    // first.
    DWORD seen = 0;
    ASSERT_TRUE(waitUntil([&] { return log.dataCount() == 2 && (seen = positionBytes(device)) > 128; }));
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);

    EXPECT_TRUE(backWhenTheCallReturns([&] { return log.dataCount() == 3; }));
    const auto events = log.snapshot();
    ASSERT_EQ(events.size(), 4u) << "WIM_OPEN and three buffers";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(events[i + 1].param1, reinterpret_cast<DWORD_PTR>(&headers[i])) << "buffers come back in order";
        EXPECT_EQ(events[i + 1].flags, DWORD(WHDR_PREPARED | WHDR_DONE));
    }
    EXPECT_EQ(events[1].bytes, 64u);
    EXPECT_EQ(events[2].bytes, 64u);
    const DWORD partial = events[3].bytes;
    EXPECT_GE(partial, seen - 128) << "the large buffer keeps what it had when the reset came";
    EXPECT_LT(partial, 64000u);
    EXPECT_EQ(partial % 4, 0u) << "whole frames only";
    EXPECT_EQ(positionBytes(device), 0u) << "a reset starts the position again";

    // The device writes nothing more into a buffer it handed back.
    const std::vector<char> before = large;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(headers[2].dwBytesRecorded, partial);
    EXPECT_TRUE(before == large);

    for (auto& header : headers) EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

TEST(WaveInBufferCycle, AStopHandsBackTheBufferBeingFilledAndKeepsTheEmptyOnes) {
    CallbackLog log;
    const WAVEFORMATEX format = pcmFormat(8000, 1, 8);
    HWAVEIN device = openLogged("tone:500", format, log);
    ASSERT_NE(device, nullptr);
    std::vector<char> first(8000), second(8000);  // 1 s each
    WAVEHDR headers[] = {headerFor(first), headerFor(second)};
    for (auto& header : headers) {
        ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(waitUntil([&] { return positionBytes(device) > 0; }));
    EXPECT_EQ(waveInStop(device), MMSYSERR_NOERROR);
    EXPECT_TRUE(backWhenTheCallReturns([&] { return log.dataCount() == 1; }));
    auto events = log.snapshot();
    ASSERT_EQ(events.size(), 2u) << "the part-filled buffer comes back";
    EXPECT_EQ(events[1].param1, reinterpret_cast<DWORD_PTR>(&headers[0]));
    EXPECT_GT(events[1].bytes, 0u);
    EXPECT_LT(events[1].bytes, 8000u);
    EXPECT_EQ(waveInUnprepareHeader(device, &headers[1], sizeof(WAVEHDR)), WAVERR_STILLPLAYING)
        << "the empty buffer stays queued";

    // Stopped, the position holds still; it answers in bytes or samples,
    // and in bytes for the kinds of time it does not keep.
    const DWORD bytes = positionBytes(device);
    EXPECT_EQ(bytes, events[1].bytes) << "8-bit mono: one byte a sample";
    const struct {
        UINT asked;
        UINT answered;
        DWORD value;
    } times[] = {{TIME_SAMPLES, TIME_SAMPLES, bytes}, {TIME_MS, TIME_BYTES, bytes}, {TIME_SMPTE, TIME_BYTES, bytes}};
    for (const auto& row : times) {
        MMTIME time{};
        time.wType = row.asked;
        EXPECT_EQ(waveInGetPosition(device, &time, sizeof time), MMSYSERR_NOERROR);
        EXPECT_EQ(time.wType, row.answered);
        EXPECT_EQ(time.u.cb, row.value) << "time kind " << row.asked;
    }
    MMTIME shortTime{};
    EXPECT_EQ(waveInGetPosition(device, &shortTime, sizeof shortTime - 1), MMSYSERR_ERROR);

    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    EXPECT_TRUE(backWhenTheCallReturns([&] { return log.dataCount() == 2; }));
    events = log.snapshot();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].param1, reinterpret_cast<DWORD_PTR>(&headers[1]));
    EXPECT_EQ(events[2].bytes, 0u) << "nothing is recorded while stopped";
    for (auto& header : headers) EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

// A callback that resets the device itself gets the other queued buffers
// back at once, in nested callbacks, before its reset returns.
struct Nested {
    HWAVEIN device = nullptr;
    WAVEHDR* resetter = nullptr;
    int depth = 0;
    std::vector<std::pair<WAVEHDR*, int>> seen;  // header, depth; only the device thread touches these
    std::atomic<bool> done{false};
};

void CALLBACK resetFromInside(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    if (message != WIM_DATA) return;
    auto* state = reinterpret_cast<Nested*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    state->depth++;
    state->seen.emplace_back(header, state->depth);
    if (header == state->resetter) {
        EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);
        state->done = true;
    }
    state->depth--;
}

TEST(WaveInBufferCycle, AResetFromInsideTheCallbackHandsBackTheRestAtOnce) {
    ASSERT_TRUE(wavetest::chooseDevice("tone:1000"));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    Nested state;
    std::vector<char> small(64), large(32000);
    WAVEHDR first = headerFor(small);
    WAVEHDR second = headerFor(large);
    state.resetter = &first;
    HWAVEIN device = nullptr;
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&resetFromInside),
                         reinterpret_cast<DWORD_PTR>(&state), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    for (WAVEHDR* header : {&first, &second}) {
        ASSERT_EQ(waveInPrepareHeader(device, header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(device, header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    ASSERT_TRUE(waitUntil([&] { return state.done.load(); }));
    EXPECT_EQ(waveInReset(device), MMSYSERR_NOERROR);  // also orders the test's reads after the callbacks
    ASSERT_EQ(state.seen.size(), 2u);
    EXPECT_EQ(state.seen[0], std::make_pair(&first, 1));
    EXPECT_EQ(state.seen[1], std::make_pair(&second, 2)) << "handed back inside the first callback";
    EXPECT_EQ(second.dwFlags, DWORD(WHDR_PREPARED | WHDR_DONE));
    for (WAVEHDR* header : {&first, &second}) {
        EXPECT_EQ(waveInUnprepareHeader(device, header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

TEST(WaveInBufferCycle, WithoutACallbackTheFlagsTell) {
    ASSERT_TRUE(wavetest::chooseDevice("tone:1000"));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    HWAVEIN device = nullptr;
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<char> storage(320);
    WAVEHDR header = headerFor(storage);
    ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    // The unprepare is refused until the buffer is done; asking it is a
    // synchronised way to watch the flags.
    EXPECT_TRUE(waitUntil([&] { return waveInUnprepareHeader(device, &header, sizeof header) == MMSYSERR_NOERROR; }));
    EXPECT_EQ(header.dwFlags, DWORD(WHDR_DONE));
    EXPECT_EQ(header.dwBytesRecorded, 320u);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

}  // namespace
