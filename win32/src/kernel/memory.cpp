// VirtualAlloc and VirtualFree: whole pages from the system, zeroed, with
// read and write access. Only committed read-write memory is offered; a
// release needs size 0 and the address that the allocation returned.
#include <windows.h>

#include <sys/mman.h>

#include <map>
#include <mutex>

#include "kernel/last_error.h"

namespace {

std::mutex regionsLock;
std::map<void*, SIZE_T>& regions() {
    static std::map<void*, SIZE_T> live;
    return live;
}

}  // namespace

extern "C" {

LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    if (address || size == 0 || !(allocationType & MEM_COMMIT) || protect != PAGE_READWRITE) {
        SetLastError(subset::kErrorInvalidParameter);
        return nullptr;
    }
    void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
        SetLastError(subset::kErrorNotEnoughMemory);
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(regionsLock);
    regions()[block] = size;
    return block;
}

BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
    if (freeType != MEM_RELEASE || size != 0) {
        SetLastError(subset::kErrorInvalidParameter);
        return FALSE;
    }
    SIZE_T length = 0;
    {
        std::lock_guard<std::mutex> hold(regionsLock);
        auto found = regions().find(address);
        if (found == regions().end()) {
            SetLastError(subset::kErrorInvalidAddress);
            return FALSE;
        }
        length = found->second;
        regions().erase(found);
    }
    munmap(address, length);
    return TRUE;
}

}  // extern "C"
