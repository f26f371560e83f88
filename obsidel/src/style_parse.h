// Reading the words of a style file's values: colours (style.h's
// parseColor), textures and font weights, and the key form the files use.
#pragma once

#include <obsidel/api.h>

#include <optional>
#include <string>

namespace obsidel {

std::string lowercase(std::string text);
std::string trimmed(const std::string& text);
// A key as written in a file or asked for, without blanks or its colon.
std::string withoutColon(const std::string& key);

// Colour texts: "#rrggbb", "#rgb" and the X11 form "rgb:r/g/b" (one to four
// hex digits per part, scaled to 8 bits), letter case free, blanks around
// ignored. Nothing for any other text.
std::optional<COLORREF> parseColor(const std::string& text);

// Texture words, in any order and letter case: "flat", "raised" or
// "sunken" (the bevel); "solid" or "gradient"; the gradient's direction
// "horizontal", "vertical", "diagonal" or "crossdiagonal" (vertical when
// none is given); "bevel1" (the bevel on the edge) or "bevel2" (one pixel
// inside). A texture without "gradient" is solid; unknown words are skipped.
void parseTexture(const std::string& text, StyleItem& item);
// "bold", "normal" or a weight of 1 .. 1000; anything else is normal.
int fontWeightOf(const std::string& text);

}  // namespace obsidel
