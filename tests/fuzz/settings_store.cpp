// The host's settings store under random rc files and random writes.
//
// The input is an rc file followed by writes of keys and values. Every line
// of the file is read back as a key, from the file and from a folder of the
// same kind of name (which reads as no file, never as a fault); then the
// writes are made, and the file
// must give back the last value written under every key (trimmed, with its
// line breaks made blanks), hold every line that no write could have
// touched byte for byte and in its order, and hold nothing else but the
// written keys' lines.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <obsidel/api.h>

#include "fuzz_input.h"
#include "scratch.h"
#include "settings_store.h"

namespace {

std::string trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::string lowercase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) lines.push_back(line);
    return lines;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Keys a person would write: letters, digits and dots, never a colon, a
// comment mark or a blank at either end, so that each key names itself only.
std::string keyFrom(fuzzing::FuzzInput& input) {
    static constexpr char kKeyCharacters[] = "abcABCxyz019._-";
    std::string key;
    const std::size_t length = input.inRange(1, 12);
    for (std::size_t i = 0; i < length; ++i) key += kKeyCharacters[input.byte() % (sizeof kKeyCharacters - 1)];
    return key;
}

[[noreturn]] void fault(const char* what, const std::string& detail) {
    fuzzing::fault("settings store", what, detail);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    const std::string original = input.text(4096);
    const std::string path = (fuzzing::scratchFolder() / "Vumira.rc").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << original;
    }

    static const std::string folder = [] {
        const auto made = fuzzing::scratchFolder() / "folder.rc";
        std::filesystem::create_directories(made);
        return made.string();
    }();
    if (FileExists(folder.c_str())) fault("a folder counts as a settings file", folder);

    // Every line's text before each colon, read as a key, and every value as a number and a bool.
    for (const auto& line : linesOf(original)) {
        for (std::size_t colon = line.find(':'); colon != std::string::npos; colon = line.find(':', colon + 1)) {
            if (obsidel::readSetting(folder, line.substr(0, colon))) fault("a folder gave a value", line);
            if (ReadInt(folder.c_str(), line.substr(0, colon).c_str(), 7) != 7)
                fault("a folder's number is not the default", line);
            if (auto value = obsidel::readSetting(path, line.substr(0, colon))) {
                obsidel::parseInt(*value);
                obsidel::parseBool(*value);
            }
        }
    }

    std::map<std::string, std::string> written;  // lower-case key -> expected value
    std::map<std::string, std::string> spelling;  // lower-case key -> the key as last written
    const std::size_t writes = input.inRange(0, 8);
    for (std::size_t i = 0; i < writes; ++i) {
        const std::string key = keyFrom(input);
        std::string value = input.text(64);
        if (!obsidel::writeSetting(path, key, value)) fault("a write failed", key);
        for (char& c : value)
            if (c == '\n' || c == '\r') c = ' ';
        written[lowercase(key)] = trimmed(value);
        spelling[lowercase(key)] = key;
    }
    if (writes == 0) return 0;

    for (const auto& [key, value] : written) {
        auto read = obsidel::readSetting(path, spelling[key]);
        if (!read) fault("a written key is missing", key);
        if (*read != value) fault("a written key reads back another value", key + " -> " + *read);
    }

    // A line that holds a colon and any written key might be that key's line;
    // every other line of the original must still be there, in its order.
    auto touchable = [&](const std::string& line) {
        if (line.find(':') == std::string::npos) return false;
        const std::string lower = lowercase(line);
        for (const auto& entry : written)
            if (lower.find(entry.first) != std::string::npos) return true;
        return false;
    };
    const auto after = linesOf(readAll(path));
    std::size_t at = 0;
    std::size_t keptOrReplaced = 0;
    for (const auto& line : linesOf(original)) {
        if (touchable(line)) {
            ++keptOrReplaced;
            continue;
        }
        while (at < after.size() && after[at] != line) ++at;
        if (at == after.size()) fault("an untouched line was lost", line);
        ++at;
        ++keptOrReplaced;
    }
    if (after.size() < keptOrReplaced || after.size() > keptOrReplaced + written.size())
        fault("the file grew by more than the written keys", std::to_string(after.size()));
    return 0;
}
