// What tells one state of a file from another without reading it: its
// identity, size and modification time as the file system reports them.
// Two equal stamps taken at different times mean the file was not
// replaced or rewritten in between, except for a rewrite in place that
// keeps the size within the file system's timestamp granularity (a few
// milliseconds on Linux, 100 ns on NTFS): a reader that caches a file's
// text by its stamp may miss such an edit until the next one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace obsidel {

struct FileStamp {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0, changed = 0;  // nanoseconds (or the system's own unit)
    bool operator==(const FileStamp&) const = default;
};

// Nothing when the file does not exist or cannot be looked at.
std::optional<FileStamp> fileStamp(const std::string& path);

}  // namespace obsidel
