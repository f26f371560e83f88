// Time: GetTickCount (milliseconds since an arbitrary start, wrapping at
// 2^32 as on Windows) and Sleep.
#include <windows.h>

#include <chrono>
#include <thread>

extern "C" {

DWORD WINAPI GetTickCount(void) {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<DWORD>(static_cast<uint64_t>(ms));
}

void WINAPI Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // extern "C"
