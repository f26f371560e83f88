// The built-in style: in force before any file is read, and the source of
// every key that a style file leaves out.
#pragma once

#include <optional>
#include <string>

namespace obsidel {

// The built-in value of `key` (letter case and a trailing colon free), or
// nothing for a key the built-in style does not have.
std::optional<std::string> builtInValue(const std::string& key);

}  // namespace obsidel
