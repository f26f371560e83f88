// Who the plug-in is: the texts that pluginInfo returns and the caption of
// every message box.
#pragma once

#include <vumira_version.h>

namespace vumira::identity {

inline constexpr const char* kName = "Vumira";
inline constexpr const char* kVersion = VUMIRA_VERSION;
inline constexpr const char* kNameAndVersion = "Vumira " VUMIRA_VERSION;
inline constexpr const char* kAuthor = "The Vumira developers";
inline constexpr const char* kReleaseDate = "2026-12-09";
inline constexpr const char* kWebLink = "https://vumira.invalid/";
inline constexpr const char* kEmail = "developers@vumira.invalid";
inline constexpr const char* kPresetCommands =
    "@Vumira SetStyle 1@Vumira SetStyle 2@Vumira SetStyle 3@Vumira SetStyle 4";

// Flags of every error box: top-most, error icon.
inline constexpr unsigned kErrorBoxFlags = 0x40010;

}  // namespace vumira::identity
