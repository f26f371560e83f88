#include "file_text.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace obsidel {
namespace {

// Opens only plain files: a folder opens on some systems and then fails at
// the first read, and a named pipe or a device would block or never end.
std::string problemBeforeOpening(const std::string& path) {
    if (path.empty()) return "no file named";
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) return "no such file";
    if (error) return error.message();
    if (status.type() == std::filesystem::file_type::directory) return "it is a folder";
    if (status.type() != std::filesystem::file_type::regular) return "it is not a plain file";
    return "";
}

}  // namespace

FileText readFileText(const std::string& path) {
    if (std::string problem = problemBeforeOpening(path); !problem.empty()) return {std::nullopt, problem};
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) return {std::nullopt, errno ? std::strerror(errno) : "it cannot be opened"};
    try {
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) return {std::nullopt, "it cannot be read"};
        return {std::move(text), ""};
    } catch (const std::exception&) {
        return {std::nullopt, "it cannot be read"};
    }
}

bool isReadableFile(const std::string& path) {
    if (!problemBeforeOpening(path).empty()) return false;
    return std::ifstream(path, std::ios::binary).good();
}

}  // namespace obsidel
