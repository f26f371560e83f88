// Wave-in capture: one buffer travelling between the device and the analysis.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

namespace vumira {

// One start's header and buffer and the device that holds them. Every start
// makes its own, so a device that a timed-out stop gave up on can only ever
// write into, and hand back, memory that no later capture uses.
struct CaptureBuffer {
    WAVEHDR header{};  // the first member: the callback finds the record from the header
    HWAVEIN device = nullptr;
    std::atomic<int> queueing{1};  // cleared by the stop before its reset
    std::atomic<int> returned{0};  // the callback's count of the buffer handed back
    CaptureBuffer* nextAbandoned = nullptr;
};

int startCapture();
int stopCapture();
void CALLBACK captureCallback(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                              DWORD_PTR param2);

}  // namespace vumira
