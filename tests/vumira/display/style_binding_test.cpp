// The plug-in's reading of the host's style, and the four colour presets.
#include <cstring>
#include <filesystem>

#include "config/settings.h"
#include "config/style.h"
#include "display_fixture.h"

namespace displaytest {
namespace {

class StyleBinding : public PluginWindowTest {
protected:
    // A host style with a distinct colour under every key a preset names.
    void loadHostStyle(const std::string& extra = "") {
        const std::string path = dir().file("test.style");
        testsupport::writeFile(path,
                               "toolbar: raised gradient diagonal bevel2\n"
                               "toolbar.color: #102030\n"
                               "toolbar.colorTo: #405060\n"
                               "toolbar.font: DejaVu Sans\n"
                               "toolbar.fontHeight: 15\n"
                               "toolbar.fontWeight: bold\n"
                               "borderWidth: 2\n"
                               "borderColor: #0000aa\n"
                               "bevelWidth: 3\n"
                               "toolbar.windowLabel.color: #010101\n"
                               "window.label.focus.textColor: #020202\n"
                               "window.label.focus.color: #030303\n"
                               "menu.frame.color: #040404\n"
                               "menu.hilite.color: #050505\n" +
                                   extra);
        ASSERT_TRUE(obsidel::loadStyleFile(path));
    }
};

TEST_F(StyleBinding, CopiesTheHostStyle) {
    loadHostStyle("toolbar.textColor: #00ff00\n");
    plugin.styleItem = StyleItem{};
    vumira::readStyle();
    EXPECT_EQ(plugin.styleItem.texture, STYLE_DIAGONAL);
    EXPECT_EQ(plugin.styleItem.bevelStyle, BEVEL_RAISED);
    EXPECT_EQ(plugin.styleItem.bevelPosition, 2);
    EXPECT_EQ(plugin.styleItem.color, RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(plugin.styleItem.colorTo, RGB(0x40, 0x50, 0x60));
    EXPECT_EQ(std::memcmp(&plugin.styleItem, GetSettingPtr(OB_STYLE_ITEM), 300), 0);
    EXPECT_EQ(plugin.bevelWidth, 3);
    EXPECT_EQ(plugin.borderWidth, 2);
    EXPECT_EQ(plugin.borderColor, RGB(0, 0, 0xaa));
    // The default keys: "toolbar.textColor:" for the bars, "borderColor:" for the markers.
    EXPECT_EQ(plugin.scopeColor, RGB(0, 255, 0));
    EXPECT_EQ(plugin.peakColor, RGB(0, 0, 0xaa));
    ASSERT_NE(plugin.styleFont, nullptr);
    LOGFONTA font{};
    ASSERT_NE(GetObjectA(plugin.styleFont, sizeof font, &font), 0);
    EXPECT_EQ(font.lfHeight, 15);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
}

TEST_F(StyleBinding, KeysMissingFromTheStyleGiveWhiteBarsAndBlackMarkers) {
    const std::string path = dir().file("bare.style");
    testsupport::writeFile(path, "toolbar.color: #123456\n");
    ASSERT_TRUE(obsidel::loadStyleFile(path));
    plugin.scopeColor = RGB(1, 1, 1);
    plugin.peakColor = RGB(1, 1, 1);
    vumira::readStyle();
    EXPECT_EQ(plugin.scopeColor, RGB(255, 255, 255));
    EXPECT_EQ(plugin.peakColor, RGB(0, 0, 0));
}

TEST_F(StyleBinding, ReadingTwiceLeavesOneFont) {
    loadHostStyle();
    vumira::readStyle();
    HFONT first = plugin.styleFont;
    ASSERT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_FONT));
    vumira::readStyle();
    EXPECT_EQ(GetObjectType(first), 0u) << "the earlier font is deleted";
    EXPECT_EQ(GetObjectType(plugin.styleFont), static_cast<DWORD>(OBJ_FONT));
}

TEST_F(StyleBinding, PresetsSetBothKeysWriteThemWithoutColonsAndReadTheColours) {
    loadHostStyle();
    struct Case {
        int preset;
        const char* scopeKey;
        const char* peakKey;
        COLORREF scope, peak;
    };
    const Case cases[] = {
        {1, "toolbar.windowLabel.color", "window.label.focus.textColor", RGB(1, 1, 1), RGB(2, 2, 2)},
        {2, "window.label.focus.color", "menu.frame.color", RGB(3, 3, 3), RGB(4, 4, 4)},
        {3, "menu.frame.color", "window.label.focus.color", RGB(4, 4, 4), RGB(3, 3, 3)},
        {4, "menu.hilite.color", "menu.frame.color", RGB(5, 5, 5), RGB(4, 4, 4)},
    };
    for (const Case& c : cases) {
        vumira::applyColorPreset(c.preset);
        EXPECT_EQ(std::string(plugin.scopeColorKey), std::string(c.scopeKey) + ":") << c.preset;
        EXPECT_EQ(std::string(plugin.peakColorKey), std::string(c.peakKey) + ":") << c.preset;
        EXPECT_EQ(rcText(), std::string("Vumira.plugin.style.ScopeColor: ") + c.scopeKey +
                                "\nVumira.plugin.style.PeakColor: " + c.peakKey + "\n")
            << c.preset;
        EXPECT_EQ(plugin.scopeColor, c.scope) << c.preset;
        EXPECT_EQ(plugin.peakColor, c.peak) << c.preset;
    }
}

TEST_F(StyleBinding, PresetNumbersOutsideOneToFourChangeNothing) {
    loadHostStyle();
    vumira::readStyle();
    for (int preset : {0, 5, -1}) {
        vumira::applyColorPreset(preset);
        EXPECT_STREQ(plugin.scopeColorKey, "toolbar.textColor:");
        EXPECT_STREQ(plugin.peakColorKey, "borderColor:");
    }
    EXPECT_FALSE(std::filesystem::exists(rcFile()));
}

TEST_F(StyleBinding, LoaderAppendsTheColonAgainAfterAPreset) {
    useModuleInTestFolder();
    loadHostStyle();
    vumira::applyColorPreset(2);
    vumira::copyText(plugin.scopeColorKey, "something.else:");
    vumira::copyText(plugin.peakColorKey, "something.else:");
    vumira::loadSettings();
    EXPECT_EQ(std::string(plugin.rcPath), rcFile());
    EXPECT_STREQ(plugin.scopeColorKey, "window.label.focus.color:");
    EXPECT_STREQ(plugin.peakColorKey, "menu.frame.color:");
    vumira::readStyle();
    EXPECT_EQ(plugin.scopeColor, RGB(3, 3, 3));
    EXPECT_EQ(plugin.peakColor, RGB(4, 4, 4));
}

}  // namespace
}  // namespace displaytest
