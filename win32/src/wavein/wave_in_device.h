// One open wave-in device: the queue of the program's buffers and the two
// threads that serve it. Only one thread at a time hands buffers back, and
// the device lock is never held while the program's callback runs.
// - The recording thread reads the device (10 ms of sound a read, a live
//   device's every 8.5 ms: pcm_stream.cpp) and copies what it records into
//   the buffers at the head of the queue; sound that finds no buffer with room
//   waits for the next one queued (up to half a second of it, the oldest
//   dropped beyond), as in a sound card's memory. It hands the filled
//   buffers back itself, calling the program with WIM_DATA, as a sound
//   card's thread does: one wake-up a read.
// - The callback thread carries out waveInStop and waveInReset, between
//   callbacks, so that a device that blocks or fails can hold up neither a
//   reset nor a close, and hands back what they return and what fills
//   while the recording thread waits for the device. (WIM_OPEN and
//   WIM_CLOSE come from waveInOpen and waveInClose themselves, on the
//   calling thread, as Wine's winmm gives them too.)
// The samples are those the stream makes: a 16-bit input of the rate and
// channel count asked for arrives bit-exact; a conversion rounds each sample
// to the nearest step of the width asked for (pcm_stream.h).
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "wavein/pcm_stream.h"

namespace subset::wavein {

// Buffers in order, linked through WAVEHDR::lpNext as the real driver does,
// so that queueing one allocates nothing.
struct HeaderList {
    WAVEHDR* head = nullptr;
    WAVEHDR* tail = nullptr;
    void pushBack(WAVEHDR* header);
    WAVEHDR* popFront();
    bool empty() const { return head == nullptr; }
};

class WaveInDevice {
public:
    WaveInDevice(const WAVEFORMATEX& format, WAVEINPROC callback, DWORD_PTR instance, std::string deviceText);
    HWAVEIN handle() { return reinterpret_cast<HWAVEIN>(this); }

    // Starts both threads, then gives the callback WIM_OPEN.
    MMRESULT open(const std::shared_ptr<WaveInDevice>& self, std::unique_ptr<PcmStream> stream);
    MMRESULT prepare(WAVEHDR* header);
    MMRESULT unprepare(WAVEHDR* header);
    MMRESULT add(WAVEHDR* header);
    MMRESULT start();
    MMRESULT stop() { return control(false); }
    MMRESULT reset() { return control(true); }
    MMRESULT position(MMTIME* time);
    // Refuses while any buffer is queued or not yet handed back; else ends
    // both threads and gives the callback WIM_CLOSE.
    MMRESULT close();

    // The program is never called again (its module is being unloaded).
    // Waits up to `limit` for a callback that runs now to return; false
    // when it still runs.
    bool silence(std::chrono::milliseconds limit);
    WAVEINPROC programCallback() const { return callback_; }

private:
    MMRESULT control(bool reset);
    void applyControlLocked();
    void deliverDoneLocked(std::unique_lock<std::mutex>& held);
    void callbackLoop();
    void recordLoop(std::shared_ptr<WaveInDevice> self, std::unique_ptr<PcmStream> stream);
    // Records `bytes` after the pending sound, then fills the queued buffers from it.
    void recordLocked(const unsigned char* data, std::size_t bytes);
    // True when it filled a buffer, which waits in done_ to be handed back.
    bool fillBuffersLocked();
    void notify(UINT message, DWORD_PTR param1);
    // The program's callback runs on either thread.
    bool onDeliveringThreadLocked() const {
        const std::thread::id self = std::this_thread::get_id();
        return self == callbackThreadId_ || self == recorderThreadId_;
    }

    const WAVEFORMATEX format_;
    const WAVEINPROC callback_;  // null with CALLBACK_NULL: the flags alone tell
    const DWORD_PTR instance_;
    const std::string deviceText_;

    std::mutex lock_;
    std::condition_variable changed_;
    HeaderList queue_;  // the device fills the head
    HeaderList done_;   // filled or handed back, for the callback thread
    bool started_ = false;
    bool closing_ = false;
    bool recorderEnded_ = false;
    bool resetWanted_ = false;
    bool stopWanted_ = false;
    unsigned long long controlsAsked_ = 0;
    unsigned long long controlsDone_ = 0;
    unsigned long long positionBytes_ = 0;  // recorded into buffers since open or the last reset
    std::vector<unsigned char> pending_;    // recorded, waiting for a buffer with room
    std::size_t pendingLimit_ = 0;
    bool delivering_ = false;  // a thread is handing buffers back; only one at a time calls the program
    bool silenced_ = false;    // the program's code may be gone: no more callbacks
    int callbacksRunning_ = 0;
    std::thread::id callbackThreadId_;
    std::thread::id recorderThreadId_;
    std::thread callbackThread_;
    std::thread recorder_;
};

bool acceptableFormat(const WAVEFORMATEX& format);

}  // namespace subset::wavein
