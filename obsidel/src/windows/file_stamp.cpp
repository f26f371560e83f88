#include "file_stamp.h"

#include <windows.h>

namespace obsidel {

std::optional<FileStamp> fileStamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    auto number = [](DWORD high, DWORD low) { return (std::uint64_t{high} << 32) | low; };
    // No inode here; the write time has 100 ns steps. The creation time
    // is left out: a file moved over another may inherit the old one's.
    return FileStamp{0, 0, number(data.nFileSizeHigh, data.nFileSizeLow),
                     static_cast<std::int64_t>(number(data.ftLastWriteTime.dwHighDateTime,
                                                      data.ftLastWriteTime.dwLowDateTime)),
                     0};
}

}  // namespace obsidel
