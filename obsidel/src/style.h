// The host's current style: the plug-in's toolbar item, the frame's border
// and bevel, and the style file they came from. Plug-ins reach it through
// stylePath, ReadColor, GetSettingPtr, CreateStyleFont and MakeStyleGradient;
// the host's own drawing (menus, slit) reads it here.
//
// A style file holds `key: value` lines, as the settings files do (keys
// match without regard to letter case; lines starting with '#' or '!' are
// comments). The keys are listed in the README's "Styles" section.
#pragma once

#include <obsidel/api.h>

#include <optional>
#include <string>

#include "style_parse.h"  // parseColor

namespace obsidel {

struct HostStyle {
    StyleItem toolbar{};       // GetSettingPtr(OB_STYLE_ITEM)
    int borderWidth = 0;       // GetSettingPtr(OB_BORDER_WIDTH)
    COLORREF borderColor = 0;  // GetSettingPtr(OB_BORDER_COLOR)
    int bevelWidth = 0;        // GetSettingPtr(OB_BEVEL_WIDTH)
    std::string path;          // stylePath(); empty while the built-in style is in use
};

// The style in force: the built-in style until a file is loaded.
const HostStyle& currentStyle();
// For the host API's calls (style_api.cpp): the record itself, whose place
// stays the same for the process's life (a new style is copied over it),
// and its file's path as a text that outlives the call ("" while built in).
HostStyle& currentStyleRecord();
const char* currentStylePathText();

// The pop-up menu's look: the menu.* keys of the current style (see the
// README's style table), each missing or unreadable one taken from the
// built-in style.
struct MenuLook {
    COLORREF frame = 0, frameText = 0;  // the items
    COLORREF hilite = 0, hiliteText = 0;  // the highlighted item
    COLORREF title = 0, titleText = 0;  // each level's title row
    COLORREF border = 0;
    int borderWidth = 0, bevelWidth = 0;  // 0 to 20
    std::string font;
    int fontHeight = 13;  // pixels, 6 to 64
};
MenuLook menuLook();

// Reads a style file and makes it the current style; keys missing from the
// file take the built-in style's values. Returns false when the file cannot
// be read (missing, a folder, unreadable): the current style is kept, and
// standard error says why, followed by `outcome`, what happens then.
bool loadStyleFile(const std::string& path, const char* outcome = "the style stays as it was");

// Returns to the built-in style (no file; stylePath gives "").
void useBuiltInStyle();

// Where the shipped styles are: "share/obsidel/styles" beside the folder
// that holds the program, as the build tree and an installation lay it out.
std::string shippedStylesFolder();
// The shipped default style file ("default.style" in that folder).
std::string defaultStyleFile();

// The style for the host's start: the file named on the command line, or
// else the shipped default when it is there, or else the built-in style.
// False (with a message) only when a named file cannot be read.
bool loadStartupStyle(const std::string& requested);

// A style value of `stylePath`'s file ("" reads the built-in style), or
// nothing when the key is missing there.
std::optional<std::string> styleValue(const std::string& stylePath, const std::string& key);

// A value of the current style, or the built-in style's value when the
// file lacks the key or (colour, number) holds no value of that kind; a
// number is brought within `minimum` .. `maximum`.
std::string currentStyleValue(const char* key);
COLORREF currentStyleColor(const char* key);
int currentStyleNumber(const char* key, int minimum, int maximum);

// A colour of the current style under `key`, or `fallback` when the key is
// missing or not a colour: for the host's own drawing (menu frame, hilite).
COLORREF styleColor(const char* key, COLORREF fallback);

}  // namespace obsidel
