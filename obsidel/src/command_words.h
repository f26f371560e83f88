// Splitting a command line into words, as the Windows command line is split
// (so that one argument text means the same on both systems):
//   - blanks and tabs outside double quotes separate words;
//   - double quotes group text, blanks included, and are removed;
//   - backslashes are plain characters, except in front of a double quote:
//     2n backslashes and a quote give n backslashes and the quote groups,
//     2n + 1 backslashes and a quote give n backslashes and a literal quote;
//   - "" inside a quoted part gives one literal quote.
// Used by OBExecute for the program and argument texts it is given.
#pragma once

#include <string>
#include <vector>

namespace obsidel {

std::vector<std::string> splitCommandLine(const std::string& text);

}  // namespace obsidel
