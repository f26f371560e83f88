// GetVersionExA: an NT-family system of major version 10, as the plug-in
// expects of a system with layered windows. VUMIRA_OS_VERSION=MAJOR.MINOR
// or MAJOR.MINOR.PLATFORM (platform 1 = the Windows 9x family) makes the
// subset report another system, to try a program as an old one would run it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kernel/last_error.h"

extern "C" BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    // The plain record is 148 bytes; the extended one (with service-pack and
    // product fields) is 156. Anything else is refused, as Windows does.
    if (!info || (info->dwOSVersionInfoSize != 148 && info->dwOSVersionInfoSize != 156)) {
        SetLastError(subset::kErrorInsufficientBuffer);
        return FALSE;
    }
    DWORD size = info->dwOSVersionInfoSize;
    std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    unsigned major = 10, minor = 0, platform = VER_PLATFORM_WIN32_NT;
    if (const char* forced = std::getenv("VUMIRA_OS_VERSION")) {
        unsigned m = 0, n = 0, p = 0;
        int fields = std::sscanf(forced, "%u.%u.%u", &m, &n, &p);
        if (fields >= 2) {
            major = m;
            minor = n;
            if (fields == 3) platform = p;
        }
    }
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwBuildNumber = 19045;
    info->dwPlatformId = platform;
    return TRUE;
}
