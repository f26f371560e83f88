#include "command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace obsidel {

const char* const kUsage =
    "usage: obsidel [--home DIR] [--style FILE] [--wave-in SPEC] [--display SPEC]\n"
    "               [--slit] [--exit-after MS] [--snapshot FILE.png] [--save] [MODULE...]\n"
    "       obsidel --exec \"TEXT\"      send a command to the running host\n"
    "       obsidel --reconfigure      make the running host re-read its settings and style\n"
    "       obsidel --menu             print the running plug-in's menu (as a right click shows it)\n"
    "       obsidel --pick PATH[=VALUE]  pick an entry of that menu, e.g. \"Configuration/FPS/30\"\n"
    "       obsidel --help | --version\n"
    "\n"
    "  --home DIR          configuration folder (default: $XDG_CONFIG_HOME/obsidel,\n"
    "                      else ~/.config/obsidel; on Windows %APPDATA%\\Obsidel), where\n"
    "                      obsidel.rc lives\n"
    "  --style FILE        style file (default: default.style of the shipped styles)\n"
    "  --wave-in SPEC      recording device: pulse[:SOURCE], alsa[:PCM], file:PATH,\n"
    "                      raw:PATH[,RATE[,CHANNELS]], raw:-, tone:HZ[+HZ...], demo, none;\n"
    "                      playing (or pulse:@DEFAULT_MONITOR@) records what is playing on\n"
    "                      the sound server's default output, following it when it changes\n"
    "  --display SPEC      x11[:DISPLAY], term or headless[:WIDTHxHEIGHT]\n"
    "  --slit              start with the slit, so plug-ins can dock in it\n"
    "  --exit-after MS     exit after MS milliseconds\n"
    "  --snapshot FILE     with --exit-after: write the screen as PNG before exiting\n"
    "  --save              keep the --wave-in, --display and --style given in obsidel.rc,\n"
    "                      then start with them\n"
    "  MODULE              plug-in modules to load (default: the Vumira module beside the\n"
    "                      host, else in ../lib/obsidel from the host's folder)\n"
    "  --help              print this text\n"
    "  --version           print the version\n"
    "\n"
    "Each of --wave-in, --display and --style: the command line, else the environment,\n"
    "else obsidel.rc, else the default.\n"
    "\n"
    "Environment:\n"
    "  VUMIRA_DISPLAY      the display when --display is not given (same values)\n"
    "  VUMIRA_WAVE_IN      the recording device when --wave-in is not given (same values)\n"
    "  VUMIRA_OS_VERSION   MAJOR.MINOR[.PLATFORM]: the Windows version the plug-in is told\n"
    "                      (platform 1 is the Windows 9x family)\n"
    "  VISUAL, EDITOR      the editor that the plug-in's \"Edit\" command starts\n"
    "\n"
    "Files:\n"
    "  obsidel.rc          the host's settings in the configuration folder: lines such as\n"
    "                      \"waveIn: playing\", \"display: x11\", \"style: FILE\" (a style\n"
    "                      file named relative to the configuration folder)\n"
    "  Vumira.rc           the plug-in's settings (or Vumirarc): looked for beside the\n"
    "                      module, then in the configuration folder; when there is\n"
    "                      none, the first start writes the window's place to Vumira.rc\n"
    "                      beside the module, or in the configuration folder when the\n"
    "                      module's folder cannot be written\n"
    "  *.style             the shipped styles, in ../share/obsidel/styles from the host's\n"
    "                      folder\n"
    "  Edits of the style file and of the rc files are picked up while the host runs.\n"
    "\n"
    "Window: drag to move it, Alt+drag to resize it, the wheel for the bar scale, a\n"
    "right click for the menu.\n"
    "\n"
    "Signals (Linux): SIGHUP makes the host reconfigure its plug-ins, as --reconfigure does;\n"
    "SIGUSR1 prints its counts of user and GDI objects on standard error; SIGINT and\n"
    "SIGTERM stop it.\n";

namespace {

bool parseMilliseconds(const char* text, unsigned& value) {
    if (!text || !*text || *text == '-') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long number = std::strtoul(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || number > 0xFFFFFFFFul) return false;
    value = static_cast<unsigned>(number);
    return true;
}

}  // namespace

std::optional<Options> parseCommandLine(int argc, const char* const* argv, std::string& error) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        const char* text = nullptr;
        if (arg == "--help" || arg == "-h") options.help = true;
        else if (arg == "--version") options.version = true;
        else if (arg == "--slit") options.slit = true;
        else if (arg == "--reconfigure") options.reconfigure = true;
        else if (arg == "--menu") options.menu = true;
        else if (arg == "--save") options.save = true;
        else if (arg == "--home") {
            if (!(text = value("--home"))) return std::nullopt;
            options.home = text;
        } else if (arg == "--style") {
            if (!(text = value("--style"))) return std::nullopt;
            options.style = text;
        } else if (arg == "--wave-in") {
            if (!(text = value("--wave-in"))) return std::nullopt;
            options.waveIn = text;
        } else if (arg == "--display") {
            if (!(text = value("--display"))) return std::nullopt;
            options.display = text;
        } else if (arg == "--snapshot") {
            if (!(text = value("--snapshot"))) return std::nullopt;
            options.snapshot = text;
        } else if (arg == "--exec") {
            if (!(text = value("--exec"))) return std::nullopt;
            options.exec = text;
        } else if (arg == "--pick") {
            if (!(text = value("--pick"))) return std::nullopt;
            options.pick = text;
        } else if (arg == "--exit-after") {
            if (!(text = value("--exit-after"))) return std::nullopt;
            unsigned ms = 0;
            if (!parseMilliseconds(text, ms)) {
                error = "--exit-after needs a number of milliseconds, not \"" + std::string(text) + "\"";
                return std::nullopt;
            }
            options.exitAfterMs = ms;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else {
            options.modules.push_back(arg);
        }
    }
    int remoteRequests = (options.exec ? 1 : 0) + (options.reconfigure ? 1 : 0) + (options.menu ? 1 : 0) +
                         (options.pick ? 1 : 0);
    if (remoteRequests > 1) {
        error = "--exec, --reconfigure, --menu and --pick cannot be used together";
        return std::nullopt;
    }
    if (options.save && options.waveIn.empty() && options.display.empty() && options.style.empty()) {
        error = "--save keeps the --wave-in, --display or --style given with it, and none was given";
        return std::nullopt;
    }
    if (!options.snapshot.empty() && !options.exitAfterMs) {
        error = "--snapshot needs --exit-after: the screen is written when the host exits";
        return std::nullopt;
    }
    return options;
}

}  // namespace obsidel
