// The host's command line:
//   obsidel [--home DIR] [--style FILE] [--wave-in SPEC] [--display SPEC]
//           [--slit] [--exit-after MS] [--snapshot FILE.png] [--save] [MODULE...]
//   obsidel --exec "TEXT" | --reconfigure | --menu | --pick PATH[=VALUE]
//                                              (to the running host)
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace obsidel {

struct Options {
    std::string home;
    std::string style;
    std::string waveIn;
    std::string display;
    bool slit = false;
    std::optional<unsigned> exitAfterMs;
    std::string snapshot;
    std::vector<std::string> modules;
    bool save = false;  // keep --wave-in, --display and --style in obsidel.rc

    // Talking to a running host instead of being one.
    std::optional<std::string> exec;
    bool reconfigure = false;
    bool menu = false;                 // print the first plug-in's menu
    std::optional<std::string> pick;   // pick the menu entry at this path

    bool help = false;
    bool version = false;
};

// Parses argv; on a mistake returns nothing and fills `error` with what was wrong.
std::optional<Options> parseCommandLine(int argc, const char* const* argv, std::string& error);

extern const char* const kUsage;

}  // namespace obsidel
