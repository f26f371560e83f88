// GetLastError and SetLastError: one code per thread.
#include <windows.h>

namespace {
thread_local DWORD lastError = 0;
}

extern "C" {
DWORD WINAPI GetLastError(void) { return lastError; }
void WINAPI SetLastError(DWORD code) { lastError = code; }
}
