// Reading a whole file that a person named (a style, an rc file): a folder,
// a device, a file that cannot be read or that fails half way are each
// "no text", with the reason in words, never an exception.
#pragma once

#include <optional>
#include <string>

namespace obsidel {

struct FileText {
    std::optional<std::string> text;  // the whole file, or nothing
    std::string problem;              // why there is none: "no such file", "it is a folder", ...
};

FileText readFileText(const std::string& path);

// Whether `path` names a plain file that can be opened for reading.
bool isReadableFile(const std::string& path);

}  // namespace obsidel
