// The test doubles of fake_platform.h. Every call records what it was asked
// under one lock; callbacks are made with the lock released, since the
// plug-in's callback calls waveInAddBuffer again from inside.
#include "fake_platform.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "allocation_counter.h"

namespace fake {
namespace {

struct Device {
    HWAVEIN handle = nullptr;
    WAVEINPROC callback = nullptr;
    DWORD_PTR instance = 0;
    bool open = true;
    bool started = false;
    int handingBack = 0;  // data callbacks running now
    // Vectors with room reserved, so that queueing inside a callback never
    // allocates (the allocation test counts everything the callback does).
    std::vector<WAVEHDR*> queue;      // buffers waiting to be filled
    std::vector<WAVEHDR*> returning;  // buffers a reset hands back (streaming)
    Device() {
        queue.reserve(8);
        returning.reserve(8);
    }
};

struct World {
    std::mutex lock;
    std::condition_variable changed;
    Options options;
    Counts counts;
    OpenCall lastOpen;
    AllocCall lastAlloc;
    std::vector<Box> boxes;
    std::vector<Repaint> repaints;
    std::vector<std::unique_ptr<Device>> devices;
    Device* current = nullptr;
    std::set<void*> buffers;
    std::function<void()> sleepHook;
    std::function<void()> addHook;
    std::function<void()> tickHook;
    std::deque<DWORD> ticks{0};
    std::thread streamer;
    bool quit = false;
    bool held = false;
    std::atomic<int> callbackAllocations{0};
    unsigned char pattern = 0;
};

World& world() {
    static World instance;
    return instance;
}

Device* findDevice(HWAVEIN handle) {
    for (auto& device : world().devices)
        if (device->handle == handle && device->open) return device.get();
    return nullptr;
}

bool failsAt(Step step) {
    const Options& options = world().options;
    return options.failing == step || (options.secondFailing && step == Step::close);
}

// Hands `header` to the device's callback, on this thread, lock released.
void handBack(std::unique_lock<std::mutex>& held, Device* device, UINT message, WAVEHDR* header) {
    WAVEINPROC callback = device->callback;
    const HWAVEIN handle = device->handle;
    const DWORD_PTR instance = device->instance;
    const bool counting = world().options.countCallbackAllocations;
    ++world().counts.deliveries;
    if (message == WIM_DATA) ++device->handingBack;
    held.unlock();
    if (counting) {
        allocations::Scope scope;
        const int before = allocations::counted();
        callback(handle, message, instance, reinterpret_cast<DWORD_PTR>(header), 0);
        world().callbackAllocations.fetch_add(allocations::counted() - before);
    } else {
        callback(handle, message, instance, reinterpret_cast<DWORD_PTR>(header), 0);
    }
    held.lock();
    if (message == WIM_DATA && --device->handingBack == 0) world().changed.notify_all();
}

void markDone(WAVEHDR* header, DWORD recorded) {
    header->dwFlags = (header->dwFlags & ~static_cast<DWORD>(WHDR_INQUEUE)) | WHDR_DONE;
    header->dwBytesRecorded = std::min(recorded, header->dwBufferLength);
}

// The streaming device: fills the queued buffer while started and hands it
// back; hands back what a reset returned.
void stream() {
    World& w = world();
    std::unique_lock<std::mutex> held(w.lock);
    while (!w.quit) {
        Device* device = w.current;
        if (device && device->open && !device->returning.empty()) {
            WAVEHDR* header = device->returning.front();
            device->returning.erase(device->returning.begin());
            markDone(header, w.options.resetBytes);
            handBack(held, device, WIM_DATA, header);
            continue;
        }
        if (device && device->open && device->started && !w.held && !device->queue.empty()) {
            WAVEHDR* header = device->queue.front();
            device->queue.erase(device->queue.begin());
            const unsigned char first = w.pattern++;
            held.unlock();
            for (DWORD i = 0; i < header->dwBufferLength; ++i)
                header->lpData[i] = static_cast<char>(first + i * 37u);
            held.lock();
            markDone(header, header->dwBufferLength);
            handBack(held, device, WIM_DATA, header);
            continue;
        }
        w.changed.wait(held);
    }
}

void stopStreamer() {
    World& w = world();
    {
        std::lock_guard<std::mutex> held(w.lock);
        w.quit = true;
    }
    w.changed.notify_all();
    if (w.streamer.joinable()) w.streamer.join();
}

}  // namespace

void setUp(const Options& options) {
    tearDown();
    World& w = world();
    std::lock_guard<std::mutex> held(w.lock);
    w.options = options;
    w.quit = false;
    w.held = false;
    // Room for every repaint a test asks for, so that recording one
    // allocates nothing inside the callback.
    w.repaints.reserve(1 << 16);
    w.callbackAllocations = 0;
    if (options.streaming) w.streamer = std::thread(stream);
}

void tearDown() {
    stopStreamer();
    World& w = world();
    std::lock_guard<std::mutex> held(w.lock);
    for (void* block : w.buffers) std::free(block);
    w.buffers.clear();
    w.devices.clear();
    w.current = nullptr;
    w.counts = {};
    w.lastOpen = {};
    w.lastAlloc = {};
    w.boxes.clear();
    w.repaints.clear();
    w.sleepHook = nullptr;
    w.addHook = nullptr;
    w.tickHook = nullptr;
    w.ticks = {0};
    w.options = {};
}

Counts counts() {
    std::lock_guard<std::mutex> held(world().lock);
    return world().counts;
}
OpenCall lastOpen() {
    std::lock_guard<std::mutex> held(world().lock);
    return world().lastOpen;
}
AllocCall lastAlloc() {
    std::lock_guard<std::mutex> held(world().lock);
    return world().lastAlloc;
}
std::vector<Box> boxes() {
    std::lock_guard<std::mutex> held(world().lock);
    return world().boxes;
}
std::vector<std::string> messageTexts() {
    std::vector<std::string> texts;
    for (const Box& box : boxes()) texts.push_back(box.text);
    return texts;
}
std::vector<Repaint> repaints() {
    std::lock_guard<std::mutex> held(world().lock);
    return world().repaints;
}
int openDevices() {
    std::lock_guard<std::mutex> held(world().lock);
    return static_cast<int>(std::count_if(world().devices.begin(), world().devices.end(),
                                          [](const auto& device) { return device->open; }));
}
int liveBuffers() {
    std::lock_guard<std::mutex> held(world().lock);
    return static_cast<int>(world().buffers.size());
}
bool isQueued(const WAVEHDR* header) {
    std::lock_guard<std::mutex> held(world().lock);
    for (auto& device : world().devices)
        if (std::find(device->queue.begin(), device->queue.end(), header) != device->queue.end()) return true;
    return false;
}
int callbackAllocations() { return world().callbackAllocations.load(); }

void onSleep(std::function<void()> hook) {
    std::lock_guard<std::mutex> held(world().lock);
    world().sleepHook = std::move(hook);
}
void onAddBuffer(std::function<void()> hook) {
    std::lock_guard<std::mutex> held(world().lock);
    world().addHook = std::move(hook);
}
void onTick(std::function<void()> hook) {
    std::lock_guard<std::mutex> held(world().lock);
    world().tickHook = std::move(hook);
}
void setTicks(std::vector<DWORD> ticks) {
    std::lock_guard<std::mutex> held(world().lock);
    world().ticks.assign(ticks.begin(), ticks.end());
    if (world().ticks.empty()) world().ticks.push_back(0);
}

namespace {

// Takes the first buffer queued on `device`, records `bytes` into it (cut to
// its length) and hands it back on this thread. False when none is queued.
bool recordAndHandBack(std::unique_lock<std::mutex>& held, Device* device, const std::vector<unsigned char>& bytes) {
    if (!device || !device->open || device->queue.empty()) return false;
    WAVEHDR* header = device->queue.front();
    device->queue.erase(device->queue.begin());
    const DWORD count = std::min(static_cast<DWORD>(bytes.size()), header->dwBufferLength);
    if (count) std::memcpy(header->lpData, bytes.data(), count);
    markDone(header, count);
    handBack(held, device, WIM_DATA, header);
    return true;
}

}  // namespace

bool deliver(const std::vector<unsigned char>& bytes) {
    std::unique_lock<std::mutex> held(world().lock);
    return recordAndHandBack(held, world().current, bytes);
}

bool handBackKept() {
    World& w = world();
    std::unique_lock<std::mutex> held(w.lock);
    for (auto& device : w.devices) {
        if (device->queue.empty()) continue;
        WAVEHDR* header = device->queue.front();
        device->queue.erase(device->queue.begin());
        markDone(header, 0);
        handBack(held, device.get(), WIM_DATA, header);
        return true;
    }
    return false;
}

bool handBackKept(HWAVEIN handle, const std::vector<unsigned char>& bytes) {
    std::unique_lock<std::mutex> held(world().lock);
    return recordAndHandBack(held, findDevice(handle), bytes);
}

void holdStreaming(bool hold) {
    {
        std::lock_guard<std::mutex> held(world().lock);
        world().held = hold;
    }
    world().changed.notify_all();
}

void keepBuffersOnReset(bool keep) {
    std::lock_guard<std::mutex> held(world().lock);
    world().options.resetHandsBack = !keep;
}

int queuedHeaders() {
    std::lock_guard<std::mutex> held(world().lock);
    std::size_t queued = 0;
    for (auto& device : world().devices)
        if (device->open) queued += device->queue.size() + device->returning.size();
    return static_cast<int>(queued);
}

HWAVEIN currentDevice() {
    std::lock_guard<std::mutex> held(world().lock);
    return world().current ? world().current->handle : nullptr;
}

}  // namespace fake

using fake::world;

extern "C" {

MMRESULT WINAPI waveInOpen(LPHWAVEIN handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                           DWORD_PTR instance, DWORD flags) {
    auto& w = world();
    std::unique_lock<std::mutex> held(w.lock);
    ++w.counts.opens;
    w.lastOpen = {deviceId, format ? *format : WAVEFORMATEX{}, callback, instance, flags};
    if (fake::failsAt(fake::Step::open)) return MMSYSERR_ALLOCATED;
    auto device = std::make_unique<fake::Device>();
    device->handle = reinterpret_cast<HWAVEIN>(static_cast<uintptr_t>(0x5A00 + w.devices.size()));
    device->callback = reinterpret_cast<WAVEINPROC>(callback);
    device->instance = instance;
    fake::Device* opened = device.get();
    w.devices.push_back(std::move(device));
    w.current = opened;
    *handle = opened->handle;
    fake::handBack(held, opened, WIM_OPEN, nullptr);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInClose(HWAVEIN handle) {
    auto& w = world();
    std::unique_lock<std::mutex> held(w.lock);
    ++w.counts.closes;
    fake::Device* device = fake::findDevice(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (fake::failsAt(fake::Step::close)) return MMSYSERR_ERROR;
    // A callback that is handing a buffer back finishes first, unless it
    // takes longer than a driver would wait.
    w.changed.wait_for(held, std::chrono::milliseconds(200), [device] { return device->handingBack == 0; });
    if (!device->queue.empty() || !device->returning.empty() || device->handingBack > 0)
        return WAVERR_STILLPLAYING;
    fake::handBack(held, device, WIM_CLOSE, nullptr);
    device->open = false;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInPrepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    auto& w = world();
    std::lock_guard<std::mutex> held(w.lock);
    ++w.counts.prepares;
    if (!fake::findDevice(handle)) return MMSYSERR_INVALHANDLE;
    if (!header || size != sizeof(WAVEHDR) || !header->lpData) return MMSYSERR_INVALPARAM;
    if (fake::failsAt(fake::Step::prepare)) return MMSYSERR_NOMEM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInUnprepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    auto& w = world();
    std::lock_guard<std::mutex> held(w.lock);
    ++w.counts.unprepares;
    if (!fake::findDevice(handle)) return MMSYSERR_INVALHANDLE;
    if (!header || size != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (fake::failsAt(fake::Step::unprepare)) return MMSYSERR_ERROR;
    header->dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInAddBuffer(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    auto& w = world();
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> held(w.lock);
        hook = w.addHook;
    }
    if (hook) hook();
    std::lock_guard<std::mutex> held(w.lock);
    ++w.counts.adds;
    fake::Device* device = fake::findDevice(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!header || size != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (fake::failsAt(fake::Step::queue)) return MMSYSERR_NOMEM;
    header->dwFlags = (header->dwFlags & ~static_cast<DWORD>(WHDR_DONE)) | WHDR_INQUEUE;
    header->dwBytesRecorded = 0;
    device->queue.push_back(header);
    w.changed.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInStart(HWAVEIN handle) {
    auto& w = world();
    std::lock_guard<std::mutex> held(w.lock);
    ++w.counts.starts;
    fake::Device* device = fake::findDevice(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (fake::failsAt(fake::Step::start)) return MMSYSERR_ERROR;
    device->started = true;
    w.changed.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInStop(HWAVEIN handle) {
    auto& w = world();
    std::lock_guard<std::mutex> held(w.lock);
    fake::Device* device = fake::findDevice(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->started = false;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInReset(HWAVEIN handle) {
    auto& w = world();
    std::unique_lock<std::mutex> held(w.lock);
    ++w.counts.resets;
    fake::Device* device = fake::findDevice(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->started = false;
    if (!w.options.resetHandsBack) return MMSYSERR_NOERROR;
    std::vector<WAVEHDR*> queued;
    queued.swap(device->queue);
    device->queue.reserve(8);
    if (w.options.streaming) {
        // The device thread hands them back later, as a driver would.
        device->returning.insert(device->returning.end(), queued.begin(), queued.end());
        w.changed.notify_all();
        return MMSYSERR_NOERROR;
    }
    for (WAVEHDR* header : queued) {
        fake::markDone(header, w.options.resetBytes);
        fake::handBack(held, device, WIM_DATA, header);
    }
    return MMSYSERR_NOERROR;
}

UINT WINAPI waveInGetNumDevs(void) { return 1; }

LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    auto& w = world();
    std::lock_guard<std::mutex> held(w.lock);
    ++w.counts.allocations;
    w.lastAlloc = {address, size, allocationType, protect};
    if (fake::failsAt(fake::Step::allocate) || size == 0) return nullptr;
    void* block = std::calloc(1, size);
    w.buffers.insert(block);
    return block;
}

BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
    auto& w = world();
    std::lock_guard<std::mutex> held(w.lock);
    auto found = w.buffers.find(address);
    if (size != 0 || freeType != MEM_RELEASE || found == w.buffers.end()) {
        ++w.counts.badFrees;
        return FALSE;
    }
    ++w.counts.frees;
    std::free(address);
    w.buffers.erase(found);
    return TRUE;
}

void WINAPI Sleep(DWORD milliseconds) {
    auto& w = world();
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> held(w.lock);
        ++w.counts.sleeps;
        w.counts.sleptMs += milliseconds;
        hook = w.sleepHook;
    }
    if (hook) hook();
    // A tenth of the time asked for in real time: the tests stay fast, and
    // a device thread that a loaded machine schedules late still has half a
    // second of the stop's five before the stop gives up on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max<DWORD>(1, milliseconds / 10)));
}

DWORD WINAPI GetTickCount(void) {
    auto& w = world();
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> held(w.lock);
        hook = w.tickHook;
    }
    if (hook) hook();
    std::lock_guard<std::mutex> held(w.lock);
    const DWORD now = w.ticks.front();
    if (w.ticks.size() > 1)
        w.ticks.pop_front();
    else
        w.ticks.front() += w.options.tickStep;
    return now;
}

BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    auto& w = world();
    std::lock_guard<std::mutex> held(w.lock);
    w.repaints.push_back({window, rect == nullptr, erase});
    return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    auto& w = world();
    std::lock_guard<std::mutex> held(w.lock);
    w.boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
    return 1;  // IDOK
}

// The settings table keeps a window within the screen; the doubles' screen
// is a common one, and nothing here shows a window.
int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN: return 1280;
    case SM_CYSCREEN: return 800;
    default: return 0;
    }
}

}  // extern "C"
