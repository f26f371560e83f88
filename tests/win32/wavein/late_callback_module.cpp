// A module with a wave-in callback, loaded and unloaded by the unload test:
// each buffer handed back is counted (the instance is the test's counter)
// and queued again, so the device keeps calling for as long as it may.
#include <windows.h>
#include <mmsystem.h>

#include <atomic>

extern "C" void CALLBACK countAndRequeue(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                         DWORD_PTR) {
    if (message != WIM_DATA) return;
    reinterpret_cast<std::atomic<int>*>(instance)->fetch_add(1);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    waveInAddBuffer(device, header, sizeof *header);
}
