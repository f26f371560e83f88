// Style files, colour texts and the style record that plug-ins copy.
#include <obsidel/api.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "host_window.h"
#include "style.h"
#include "test_support.h"

namespace {

using testsupport::TempDir;
using testsupport::writeFile;

// Keeps ctest's one-process-per-test and a whole-binary run alike: every
// test that loads a style goes back to the built-in one when it ends.
struct BuiltInStyleAfterwards {
    ~BuiltInStyleAfterwards() { obsidel::useBuiltInStyle(); }
};

StyleItem record() {
    StyleItem item;
    std::memcpy(&item, GetSettingPtr(OB_STYLE_ITEM), sizeof item);
    return item;
}

// The `key: value` lines of a style file, keys as written.
std::map<std::string, std::string> styleLines(const std::string& path) {
    std::map<std::string, std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '!' || line[0] == '#') continue;
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        size_t start = line.find_first_not_of(' ', colon + 1);
        lines[line.substr(0, colon)] = start == std::string::npos ? "" : line.substr(start);
    }
    return lines;
}

const std::string shippedStyle(const char* name) { return std::string(SHIPPED_STYLES_DIR) + "/" + name; }

// First in the file: in a whole-binary run no other test has read a style yet.
TEST(HostStyleRecord, HoldsTheBuiltInStyleBeforeAnyFileIsRead) {
    ASSERT_NE(GetSettingPtr(OB_STYLE_ITEM), nullptr);
    EXPECT_STREQ(stylePath(nullptr), "");
    StyleItem item = record();  // all 300 bytes are readable
    // The built-in style: "raised gradient vertical bevel1", #3a4656 to #1b2129.
    EXPECT_EQ(item.texture, STYLE_VERTICAL);
    EXPECT_EQ(item.bevelStyle, BEVEL_RAISED);
    EXPECT_EQ(item.bevelPosition, 1);
    EXPECT_EQ(item.color, RGB(0x3a, 0x46, 0x56));
    EXPECT_EQ(item.colorTo, RGB(0x1b, 0x21, 0x29));
    EXPECT_EQ(item.textColor, RGB(0x8f, 0xd3, 0xff));
    EXPECT_EQ(item.fontHeight, 12);
    EXPECT_EQ(item.fontWeight, FW_NORMAL);
    EXPECT_STREQ(item.fontFace, "DejaVu Sans");
    std::uint32_t atSixteen;
    std::memcpy(&atSixteen, reinterpret_cast<const unsigned char*>(GetSettingPtr(OB_STYLE_ITEM)) + 16, 4);
    EXPECT_EQ(atSixteen, RGB(0x3a, 0x46, 0x56));
    EXPECT_EQ(*static_cast<int*>(GetSettingPtr(OB_BORDER_WIDTH)), 1);
    EXPECT_EQ(*static_cast<COLORREF*>(GetSettingPtr(OB_BORDER_COLOR)), RGB(0x7a, 0x88, 0x99));
    EXPECT_EQ(*static_cast<int*>(GetSettingPtr(OB_BEVEL_WIDTH)), 2);
    // The built-in style answers colour look-ups under the empty path.
    EXPECT_EQ(ReadColor(stylePath(nullptr), "toolbar.textColor:", "#000000"), RGB(0x8f, 0xd3, 0xff));
}

TEST(HostStyleRecord, AnswersNothingForIndicesItDoesNotKnow) {
    for (int index : {0, 2, 11, 15, -1}) EXPECT_EQ(GetSettingPtr(index), nullptr) << index;
}

TEST(HostStyleColor, ReadsTheDocumentedForms) {
    struct Case {
        const char* text;
        COLORREF expected;
    };
    const Case good[] = {
        {"#ff8000", RGB(255, 128, 0)},
        {"#FF8000", RGB(255, 128, 0)},
        {"  #0a0B0c\t", RGB(10, 11, 12)},
        {"#f80", RGB(0xff, 0x88, 0x00)},
        {"#000", RGB(0, 0, 0)},
        {"#fff", RGB(255, 255, 255)},
        {"rgb:ff/80/00", RGB(255, 128, 0)},
        {"RGB:F/8/0", RGB(255, 136, 0)},  // one digit: 8 of 15 is 136 of 255
        {"rgb:ffff/0000/8000", RGB(255, 0, 128)},
        {"rgb:3ff/000/fff", RGB(64, 0, 255)},  // 1023 of 4095 is 63.7 of 255
    };
    for (const Case& c : good) {
        auto color = obsidel::parseColor(c.text);
        ASSERT_TRUE(color.has_value()) << c.text;
        EXPECT_EQ(*color, c.expected) << c.text;
    }
    const char* bad[] = {"", "ff8000", "#ff800", "#ff80001", "#ggg", "#12345z", "rgb:ff/80", "rgb:fffff/0/0",
                         "rgb:ff//00", "red", "# ff8000"};
    for (const char* text : bad) EXPECT_FALSE(obsidel::parseColor(text).has_value()) << '"' << text << '"';
}

TEST(HostStyleColor, ReadColorFallsBackToTheDefaultThenToBlack) {
    TempDir dir;
    const std::string path = dir.file("look.style");
    writeFile(path,
              "! a comment: #123456\n"
              "bar.color: #102030\n"
              "Mixed.Case.Key: #abc\n"
              "broken.color: green\n");
    struct Case {
        const char* key;
        const char* fallback;
        COLORREF expected;
    };
    const Case cases[] = {
        {"bar.color:", "#ffffff", RGB(0x10, 0x20, 0x30)},
        {"bar.color", "#ffffff", RGB(0x10, 0x20, 0x30)},  // the colon is optional
        {"mixed.case.key:", "#ffffff", RGB(0xaa, 0xbb, 0xcc)},
        {"missing.color:", "#ffffff", RGB(255, 255, 255)},
        {"broken.color:", "#010203", RGB(1, 2, 3)},
        {"missing.color:", "not a colour", RGB(0, 0, 0)},
        {"missing.color:", nullptr, RGB(0, 0, 0)},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadColor(path.c_str(), c.key, c.fallback), c.expected) << c.key;
    EXPECT_EQ(ReadColor(dir.file("absent.style").c_str(), "bar.color:", "#00ff00"), RGB(0, 255, 0));
}

TEST(HostStyleFile, FillsTheRecordAndKeepsItsPlace) {
    BuiltInStyleAfterwards restore;
    void* item = GetSettingPtr(OB_STYLE_ITEM);
    void* border = GetSettingPtr(OB_BORDER_WIDTH);
    TempDir dir;
    const std::string path = dir.file("test.style");
    writeFile(path,
              "toolbar: Sunken Gradient CrossDiagonal Bevel2\n"
              "toolbar.color: #010203\n"
              "toolbar.colorTo: #040506\n"
              "toolbar.textColor: #070809\n"
              "toolbar.font: Some Face\n"
              "toolbar.fontHeight: 17\n"
              "toolbar.fontWeight: bold\n"
              "borderWidth: 3\n"
              "borderColor: #0a0b0c\n"
              "bevelWidth: 4\n");
    ASSERT_TRUE(obsidel::loadStyleFile(path));
    EXPECT_EQ(GetSettingPtr(OB_STYLE_ITEM), item);  // plug-ins may keep the pointers
    EXPECT_EQ(GetSettingPtr(OB_BORDER_WIDTH), border);
    EXPECT_EQ(std::string(stylePath(nullptr)), path);
    StyleItem loaded = record();
    EXPECT_EQ(loaded.texture, STYLE_CROSSDIAGONAL);
    EXPECT_EQ(loaded.bevelStyle, BEVEL_SUNKEN);
    EXPECT_EQ(loaded.bevelPosition, 2);
    EXPECT_EQ(loaded.color, RGB(1, 2, 3));
    EXPECT_EQ(loaded.colorTo, RGB(4, 5, 6));
    EXPECT_EQ(loaded.textColor, RGB(7, 8, 9));
    EXPECT_STREQ(loaded.fontFace, "Some Face");
    EXPECT_EQ(loaded.fontHeight, 17);
    EXPECT_EQ(loaded.fontWeight, FW_BOLD);
    EXPECT_EQ(*static_cast<int*>(GetSettingPtr(OB_BORDER_WIDTH)), 3);
    EXPECT_EQ(*static_cast<COLORREF*>(GetSettingPtr(OB_BORDER_COLOR)), RGB(10, 11, 12));
    EXPECT_EQ(*static_cast<int*>(GetSettingPtr(OB_BEVEL_WIDTH)), 4);
}

TEST(HostStyleFile, TakesMissingAndUnreadableValuesFromTheBuiltInStyle) {
    BuiltInStyleAfterwards restore;
    TempDir dir;
    const std::string path = dir.file("sparse.style");
    writeFile(path,
              "toolbar.color: #112233\n"
              "toolbar.colorTo: not a colour\n"
              "borderWidth: many\n"
              "bevelWidth: -4\n"
              "toolbar.fontHeight: 0\n");
    ASSERT_TRUE(obsidel::loadStyleFile(path));
    StyleItem loaded = record();
    EXPECT_EQ(loaded.color, RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(loaded.colorTo, RGB(0x1b, 0x21, 0x29));  // built-in
    EXPECT_EQ(loaded.texture, STYLE_VERTICAL);          // built-in texture
    EXPECT_EQ(loaded.bevelStyle, BEVEL_RAISED);
    EXPECT_EQ(loaded.fontHeight, 1);                   // held within 1..200
    EXPECT_EQ(*static_cast<int*>(GetSettingPtr(OB_BORDER_WIDTH)), 1);  // built-in
    EXPECT_EQ(*static_cast<int*>(GetSettingPtr(OB_BEVEL_WIDTH)), 0);   // no negative width
    // A colour key that the file lacks is not taken from the built-in style:
    // the caller's default is the answer, as for any file.
    EXPECT_EQ(ReadColor(stylePath(nullptr), "menu.frame.color:", "#123456"), RGB(0x12, 0x34, 0x56));
}

TEST(HostStyleFile, ReadsTextureWords) {
    BuiltInStyleAfterwards restore;
    struct Case {
        const char* words;
        int texture, bevel, position;
    };
    const Case cases[] = {
        {"flat solid", STYLE_FLAT, BEVEL_FLAT, 1},
        {"raised gradient horizontal", STYLE_HORIZONTAL, BEVEL_RAISED, 1},
        {"gradient", STYLE_VERTICAL, BEVEL_FLAT, 1},  // vertical unless told
        {"sunken gradient diagonal bevel2", STYLE_DIAGONAL, BEVEL_SUNKEN, 2},
        {"RAISED CROSSDIAGONAL GRADIENT", STYLE_CROSSDIAGONAL, BEVEL_RAISED, 1},
        {"raised horizontal", STYLE_FLAT, BEVEL_RAISED, 1},  // a direction alone is no gradient
        {"sunken sparkly gradient vertical", STYLE_VERTICAL, BEVEL_SUNKEN, 1},  // unknown words skipped
        {"", STYLE_FLAT, BEVEL_FLAT, 1},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.file("texture.style");
        writeFile(path, std::string("toolbar: ") + c.words + "\n");
        ASSERT_TRUE(obsidel::loadStyleFile(path));
        StyleItem loaded = record();
        EXPECT_EQ(loaded.texture, c.texture) << c.words;
        EXPECT_EQ(loaded.bevelStyle, c.bevel) << c.words;
        EXPECT_EQ(loaded.bevelPosition, c.position) << c.words;
    }
}

TEST(HostStyleFile, KeepsTheStyleWhenTheFileCannotBeRead) {
    BuiltInStyleAfterwards restore;
    TempDir dir;
    const std::string good = dir.file("good.style");
    writeFile(good, "toolbar.color: #445566\n");
    ASSERT_TRUE(obsidel::loadStyleFile(good));
    EXPECT_FALSE(obsidel::loadStyleFile(dir.file("absent.style")));
    EXPECT_FALSE(obsidel::loadStyleFile(""));
    EXPECT_EQ(std::string(stylePath(nullptr)), good);
    EXPECT_EQ(record().color, RGB(0x44, 0x55, 0x66));
}

TEST(HostStyleFile, CutsAFaceNameLongerThanTheRecordHolds) {
    BuiltInStyleAfterwards restore;
    TempDir dir;
    const std::string path = dir.file("long.style");
    writeFile(path, "toolbar.font: " + std::string(300, 'f') + "\n");
    ASSERT_TRUE(obsidel::loadStyleFile(path));
    StyleItem loaded = record();
    EXPECT_EQ(std::string(loaded.fontFace), std::string(sizeof loaded.fontFace - 1, 'f'));
}

TEST(HostStyleFile, StartsWithTheNamedFileElseTheShippedDefault) {
    BuiltInStyleAfterwards restore;
    TempDir dir;
    const std::string named = dir.file("named.style");
    writeFile(named, "toolbar.color: #abcdef\n");
    EXPECT_TRUE(obsidel::loadStartupStyle(named));
    EXPECT_EQ(std::string(stylePath(nullptr)), named);
    EXPECT_FALSE(obsidel::loadStartupStyle(dir.file("absent.style")));
    EXPECT_EQ(std::string(stylePath(nullptr)), named);

    // Without a name: the shipped default beside the program when it is
    // there, the built-in style when it is not; either way the same look.
    EXPECT_TRUE(obsidel::loadStartupStyle(""));
    const std::string shipped = obsidel::defaultStyleFile();
    EXPECT_EQ(std::string(stylePath(nullptr)), std::filesystem::exists(shipped) ? shipped : std::string());
    EXPECT_EQ(record().color, RGB(0x3a, 0x46, 0x56));
}

TEST(HostStyleFile, ReconfigureReadsTheStyleFileAgain) {
    BuiltInStyleAfterwards restore;
    TempDir dir;
    const std::string path = dir.file("edited.style");
    writeFile(path, "toolbar.color: #010203\nborderWidth: 2\n");
    ASSERT_TRUE(obsidel::loadStyleFile(path));
    writeFile(path, "toolbar.color: #040506\nborderWidth: 5\n");
    EXPECT_EQ(record().color, RGB(1, 2, 3));  // read when loaded, not on every look-up
    obsidel::reconfigure();
    EXPECT_EQ(record().color, RGB(4, 5, 6));
    EXPECT_EQ(*static_cast<int*>(GetSettingPtr(OB_BORDER_WIDTH)), 5);

    // A style file that has gone away leaves the style as it was.
    std::filesystem::remove(path);
    obsidel::reconfigure();
    EXPECT_EQ(record().color, RGB(4, 5, 6));
}

TEST(HostStyleShipped, DefaultFileHoldsTheBuiltInStyle) {
    BuiltInStyleAfterwards restore;
    const auto lines = styleLines(shippedStyle("default.style"));
    ASSERT_FALSE(lines.empty());
    for (const auto& [key, value] : lines) {
        auto builtIn = obsidel::styleValue("", key);
        ASSERT_TRUE(builtIn.has_value()) << key << " is in default.style but not built in";
        EXPECT_EQ(*builtIn, value) << key;
    }
    obsidel::useBuiltInStyle();
    StyleItem builtIn = record();
    int builtInBorder = *static_cast<int*>(GetSettingPtr(OB_BORDER_WIDTH));
    ASSERT_TRUE(obsidel::loadStyleFile(shippedStyle("default.style")));
    StyleItem fromFile = record();
    EXPECT_EQ(std::memcmp(&builtIn, &fromFile, sizeof builtIn), 0);
    EXPECT_EQ(*static_cast<int*>(GetSettingPtr(OB_BORDER_WIDTH)), builtInBorder);
}

TEST(HostStyleShipped, EveryStyleDefinesEveryKeyWithReadableValues) {
    BuiltInStyleAfterwards restore;
    const auto keys = styleLines(shippedStyle("default.style"));
    int styles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SHIPPED_STYLES_DIR)) {
        if (entry.path().extension() != ".style") continue;
        ++styles;
        const std::string path = entry.path().string();
        const auto lines = styleLines(path);
        for (const auto& [key, value] : keys) {
            auto found = lines.find(key);
            ASSERT_NE(found, lines.end()) << path << " lacks " << key;
            bool isColor = key.find("olor") != std::string::npos;
            if (isColor) {
                EXPECT_TRUE(obsidel::parseColor(found->second).has_value()) << path << " " << key;
            }
        }
        EXPECT_TRUE(obsidel::loadStyleFile(path)) << path;
    }
    EXPECT_GE(styles, 3);
}

}  // namespace
