#include "host_choices.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host_paths.h"
#include "settings_store.h"

namespace obsidel {

const char* const kHostSettingsName = "obsidel.rc";
const char* const kPlayingHint = "to show what is playing: obsidel --wave-in playing --save";

namespace {

// One row per choice: its option, its environment variable (none for the
// style), its key in obsidel.rc.
struct ChoiceRow {
    std::string Options::*given;
    const char* option;
    const char* variable;
    const char* key;
    Choice HostChoices::*choice;
};

const ChoiceRow kChoiceRows[] = {
    {&Options::waveIn, "--wave-in", "VUMIRA_WAVE_IN", "waveIn", &HostChoices::waveIn},
    {&Options::display, "--display", "VUMIRA_DISPLAY", "display", &HostChoices::display},
    {&Options::style, "--style", nullptr, "style", &HostChoices::style},
};

// The hint about recording what is playing was said in this folder.
const char* const kPlayingHintKey = "playingHintShown";

std::string variable(const char* name) {
    const char* value = name ? std::getenv(name) : nullptr;
    return value ? value : "";
}

// A style file named in obsidel.rc is found from the configuration folder,
// wherever the host is started.
std::string styleFromSettings(const std::string& value) {
    const std::filesystem::path path(value);
    if (path.is_absolute()) return value;
    return (std::filesystem::path(homeFolder()) / path).string();
}

}  // namespace

std::string hostSettingsPath() { return homeFile(kHostSettingsName); }

std::string Choice::forBackEnd() const {
    return origin == ChoiceOrigin::CommandLine || origin == ChoiceOrigin::SettingsFile ? value : "";
}

std::string Choice::originText() const {
    switch (origin) {
    case ChoiceOrigin::CommandLine: return std::string(option) + " " + value;
    case ChoiceOrigin::SettingsFile: return kHostSettingsName;
    case ChoiceOrigin::Environment:
    case ChoiceOrigin::BuiltIn: break;
    }
    return "";
}

HostChoices resolveChoices(const Options& options) {
    HostChoices choices;
    const std::string settings = hostSettingsPath();
    for (const ChoiceRow& row : kChoiceRows) {
        Choice& choice = choices.*row.choice;
        choice.option = row.option;
        if (const std::string& given = options.*row.given; !given.empty()) {
            choice.value = given;
            choice.origin = ChoiceOrigin::CommandLine;
        } else if (std::string named = variable(row.variable); !named.empty()) {
            choice.value = named;
            choice.origin = ChoiceOrigin::Environment;
        } else if (auto stored = readSetting(settings, row.key); stored && !stored->empty()) {
            choice.value = row.choice == &HostChoices::style ? styleFromSettings(*stored) : *stored;
            choice.origin = ChoiceOrigin::SettingsFile;
        }
    }
    return choices;
}

std::string describeStyleChoice(const Choice& style) {
    if (style.origin != ChoiceOrigin::CommandLine && style.origin != ChoiceOrigin::SettingsFile) return "";
    return "style " + style.value + " (" + (style.origin == ChoiceOrigin::CommandLine ? style.option : kHostSettingsName) + ")";
}

void pointAtSettingsFile(const HostChoices& choices) {
    for (const ChoiceRow& row : kChoiceRows) {
        const Choice& choice = choices.*row.choice;
        if (choice.origin != ChoiceOrigin::SettingsFile) continue;
        std::fprintf(stderr, "obsidel: %s: %s comes from %s; mend or remove that line, or give %s\n", row.key,
                     choice.value.c_str(), hostSettingsPath().c_str(), row.option);
    }
}

bool saveChoices(const Options& options) {
    const std::string settings = hostSettingsPath();
    for (const ChoiceRow& row : kChoiceRows) {
        std::string value = options.*row.given;
        if (value.empty()) continue;
        // A style named relative to where the host was started means that
        // file, from wherever it starts next.
        if (row.choice == &HostChoices::style) {
            std::error_code error;
            const auto absolute = std::filesystem::absolute(value, error);
            if (!error) value = absolute.lexically_normal().string();
        }
        if (!writeSetting(settings, row.key, value)) {
            std::fprintf(stderr, "obsidel: %s %s not saved\n", row.option, value.c_str());
            return false;
        }
        std::fprintf(stderr, "obsidel: saved %s: %s in %s\n", row.key, value.c_str(), settings.c_str());
    }
    return true;
}

bool firstPlayingHint() {
    const std::string settings = hostSettingsPath();
    if (auto said = readSetting(settings, kPlayingHintKey); said && parseBool(*said).value_or(false)) return false;
    // Said again next time if it cannot be remembered.
    writeSetting(settings, kPlayingHintKey, "yes");
    return true;
}

}  // namespace obsidel
