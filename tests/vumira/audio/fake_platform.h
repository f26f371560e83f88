// Test doubles of the platform calls that capture and analysis make: the
// wave-in device, VirtualAlloc/VirtualFree, Sleep, GetTickCount,
// InvalidateRect and MessageBoxA. They are defined in the test program, so
// the plug-in's code calls them in place of the Win32 subset's (the program
// does not link the subset at all).
//
// The device can fail at a chosen step, lose its buffer on a reset, hand the
// buffer back on the caller's thread or stream it from a thread of its own.
// Buffers come from malloc, so the address sanitizer sees any use after the
// plug-in released them. As a real device, it refuses to close while it
// holds a buffer or is still handing one back.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <functional>
#include <string>
#include <vector>

namespace fake {

// The call at which the device or the kernel refuses.
enum class Step { none, open, allocate, prepare, queue, start, unprepare, close };

struct Options {
    Step failing = Step::none;
    bool secondFailing = false;      // also fail Step::close (with failing = unprepare)
    bool resetHandsBack = true;      // false: the device keeps the buffer for ever
    bool streaming = false;          // a device thread fills and returns the buffer
    DWORD resetBytes = 0;            // bytes recorded in a buffer that a reset hands back
    bool countCallbackAllocations = false;  // count allocations inside callbacks
    DWORD tickStep = 0;              // GetTickCount advances by this much at every call
};

struct Counts {
    int opens = 0, closes = 0, prepares = 0, unprepares = 0, adds = 0, starts = 0, resets = 0;
    int allocations = 0, frees = 0, badFrees = 0;
    int sleeps = 0;
    DWORD sleptMs = 0;
    int deliveries = 0;
};

struct OpenCall {
    UINT deviceId = 0;
    WAVEFORMATEX format{};
    DWORD_PTR callback = 0;
    DWORD_PTR instance = 0;
    DWORD flags = 0;
};

struct AllocCall {
    LPVOID address = nullptr;
    SIZE_T size = 0;
    DWORD type = 0;
    DWORD protect = 0;
};

struct Box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

struct Repaint {
    HWND window;
    bool wholeArea;
    BOOL erase;
};

// Starts a fresh device world; stops any streaming thread and forgets every
// device, buffer and record of the previous test.
void setUp(const Options& options = {});
void tearDown();

Counts counts();
OpenCall lastOpen();
AllocCall lastAlloc();
std::vector<Box> boxes();
std::vector<std::string> messageTexts();
std::vector<Repaint> repaints();
int openDevices();
int liveBuffers();
bool isQueued(const WAVEHDR* header);
int callbackAllocations();

// Runs at each Sleep, on the sleeping thread, before it returns.
void onSleep(std::function<void()> hook);
// Runs in waveInAddBuffer before the buffer is queued.
void onAddBuffer(std::function<void()> hook);

// Runs in GetTickCount, on the calling thread, before it answers.
void onTick(std::function<void()> hook);

// The tick counts that GetTickCount returns next, in order; once they are
// used up it keeps returning the last one.
void setTicks(std::vector<DWORD> ticks);

// Hand driving (no streaming): fills the queued buffer of the current device
// with `bytes` (cut to its length), takes it from the queue and hands it back
// on this thread. False when nothing is queued.
bool deliver(const std::vector<unsigned char>& bytes);
// Hands back, on this thread, a buffer that a device kept through its resets.
bool handBackKept();
// The same for the given device, which first records `bytes` into it (cut to
// its length), as a device given up on may still do.
bool handBackKept(HWAVEIN device, const std::vector<unsigned char>& bytes);
// From now on a reset keeps the queued buffers (true) or hands them back.
void keepBuffersOnReset(bool keep);
// While held, the streaming device fills no buffer (queued ones wait).
void holdStreaming(bool hold);
// How many buffers all devices hold queued.
int queuedHeaders();
// The handle of the device opened last.
HWAVEIN currentDevice();

}  // namespace fake
