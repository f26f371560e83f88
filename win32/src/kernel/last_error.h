// The thread's last-error code and the codes the subset sets.
#pragma once

#include <windows.h>

namespace subset {

inline constexpr DWORD kErrorFileNotFound = 2;
inline constexpr DWORD kErrorNotEnoughMemory = 8;
inline constexpr DWORD kErrorInvalidParameter = 87;
inline constexpr DWORD kErrorInsufficientBuffer = 122;
inline constexpr DWORD kErrorModNotFound = 126;
inline constexpr DWORD kErrorProcNotFound = 127;
inline constexpr DWORD kErrorInvalidAddress = 487;

}  // namespace subset
