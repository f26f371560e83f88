// Finding the rc file and reading every setting with its default, clamp
// and fix-up.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "config/plugin_state.h"
#include "config/settings.h"
#include "config/settings_table.h"
#include "core/entry_points.h"
#include "rc_folders.h"

namespace {

using testsupport::readFile;
using testsupport::writeFile;
using vumira::plugin;

class LoadSettings : public RcFolders {};

TEST_F(LoadSettings, SearchOrderBesideTheModuleThenInTheHostFolder) {
    struct Case {
        const char* name;
        bool moduleRcDot, moduleRc, homeRcDot, homeRc;
        const char* winner;  // "module/Vumirarc", ...
    };
    const Case cases[] = {
        {"Vumirarc beside the module wins over everything", true, true, true, true, "module/Vumirarc"},
        {"Vumira.rc beside the module wins over the host folder", true, false, true, true, "module/Vumira.rc"},
        {"the host folder's Vumirarc comes next", false, false, true, true, "home/Vumirarc"},
        {"then the host folder's Vumira.rc", false, false, true, false, "home/Vumira.rc"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(moduleDir() + "/Vumirarc");
        for (const char* folder : {"module", "home"})
            for (const char* file : {"Vumirarc", "Vumira.rc"}) std::filesystem::remove(dir_.file(folder) + "/" + file);
        if (c.moduleRcDot) writeFile(besideModule("Vumira.rc"), "");
        if (c.moduleRc) writeFile(besideModule("Vumirarc"), "");
        if (c.homeRcDot) writeFile(inHome("Vumira.rc"), "");
        if (c.homeRc) writeFile(inHome("Vumirarc"), "");
        vumira::loadSettings();
        EXPECT_EQ(nativePath(plugin.rcPath), nativePath(dir_.file(c.winner))) << c.name;
    }
}

TEST_F(LoadSettings, WithNoRcFileEveryRowHoldsItsDefaultAndTheFirstWriteGoesBesideTheModule) {
    using vumira::SettingKind;
    vumira::loadSettings();
    EXPECT_EQ(nativePath(plugin.rcPath), nativePath(besideModule("Vumira.rc")));
    for (const vumira::Setting& row : vumira::kSettings) {
        const int number = vumira::defaultNumber(row);
        char text[vumira::kPathSize] = {};
        if (row.field.shape == vumira::FieldShape::Text) row.field.text(text, sizeof text);
        switch (row.kind) {
        case SettingKind::Int:
        case SettingKind::Bool: EXPECT_EQ(row.field.number(), number) << row.key; break;
        case SettingKind::AlphaByte: EXPECT_EQ(row.field.number(), number & 0xFF) << row.key; break;
        case SettingKind::Tenths: EXPECT_FLOAT_EQ(row.field.real(), static_cast<float>(number * 0.1)) << row.key; break;
        case SettingKind::FrameRate: EXPECT_EQ(row.field.number(), 1000 / number) << row.key; break;
        case SettingKind::Text: EXPECT_STREQ(text, row.defaultValue.text) << row.key; break;
        case SettingKind::ColorKey: EXPECT_EQ(text, std::string(row.defaultValue.text) + ":") << row.key; break;
        }
    }
    // The defaults whose field holds something other than the stored
    // number or text, and the band range that follows from the buffer.
    EXPECT_EQ(plugin.bufferSize, 64);
    EXPECT_EQ(plugin.freqMin.load(), 0);
    EXPECT_EQ(plugin.freqMax.load(), 32) << "half the buffer";
    EXPECT_EQ(plugin.bandCount, 32);
    EXPECT_EQ(plugin.frameIntervalMs.load(), 40) << "25 frames a second";
    EXPECT_EQ(plugin.blendFunction.SourceConstantAlpha, 120);
    EXPECT_FLOAT_EQ(plugin.peakDropSpeed.load(), 0.1f);
    EXPECT_STREQ(plugin.scopeColorKey, "toolbar.textColor:");
    EXPECT_STREQ(plugin.peakColorKey, "borderColor:");
    EXPECT_TRUE(plugin.scopeType.equals("h"));
    EXPECT_FALSE(FileExists(plugin.rcPath)) << "reading creates nothing";

    WriteInt(plugin.rcPath, "Vumira.plugin.x:", 33);
    EXPECT_EQ(readFile(besideModule("Vumira.rc")), "Vumira.plugin.x: 33\n");
}

TEST_F(LoadSettings, StoredValuesAreReadUnderTheirKeys) {
    writeFile(besideModule("Vumira.rc"),
              "Vumira.plugin.x: -5\n"
              "Vumira.plugin.y: 700\n"
              "Vumira.plugin.inSlit: true\n"
              "Vumira.plugin.motionblur: yes\n"
              "Vumira.plugin.motionbluralpha: 300\n"
              "Vumira.plugin.transparency.enabled: true\n"
              "Vumira.plugin.transback.enabled: true\n"
              "Vumira.plugin.transparency.alpha: 200\n"
              "Vumira.plugin.alwaysontop: false\n"
              "Vumira.plugin.snapwindow: false\n"
              "Vumira.plugin.togglewithplugins: false\n"
              "Vumira.plugin.update.url: https://updates.vumira.invalid/latest\n"
              "Vumira.plugin.width: 120\n"
              "Vumira.plugin.height: 30\n"
              "Vumira.plugin.wave.StartWaveMonitorOnStartUp: false\n"
              "Vumira.plugin.wave.buffsize: 128\n"
              "Vumira.plugin.wave.freqmin: 3\n"
              "Vumira.plugin.wave.freqmax: 40\n"
              "Vumira.plugin.wave.fps: 30\n"
              "Vumira.plugin.wave.KHz: 44\n"
              "Vumira.plugin.wave.bit: 8\n"
              "Vumira.plugin.wave.peaks: true\n"
              "Vumira.plugin.style.peakType: line\n"
              "Vumira.plugin.style.peakDrop: 5\n"
              "Vumira.plugin.style.maxBarHeight: 100\n"
              "Vumira.plugin.style.ScopeColor: menu.frame.color\n"
              "Vumira.plugin.style.PeakColor: window.label.focus.color\n"
              "Vumira.plugin.style.tabPosition: tl\n"
              "Vumira.plugin.style.scopeType: v\n"
              "Vumira.plugin.showBorder: false\n");
    vumira::loadSettings();
    EXPECT_EQ(plugin.posX, -5);
    EXPECT_EQ(plugin.posY, 700);
    EXPECT_TRUE(plugin.inSlit);
    EXPECT_TRUE(plugin.motionBlur);
    EXPECT_EQ(plugin.blendFunction.SourceConstantAlpha, 44) << "only the low 8 bits of 300 count";
    EXPECT_TRUE(plugin.transparencyEnabled);
    EXPECT_TRUE(plugin.transBackEnabled);
    EXPECT_EQ(plugin.transparencyAlpha, 200);
    EXPECT_FALSE(plugin.alwaysOnTop);
    EXPECT_FALSE(plugin.snapWindow);
    EXPECT_FALSE(plugin.toggleWithPlugins);
    EXPECT_STREQ(plugin.updateUrl, "https://updates.vumira.invalid/latest");
    EXPECT_STREQ(pluginInfo(8), "https://updates.vumira.invalid/latest");
    EXPECT_EQ(plugin.width.load(), 120);
    EXPECT_EQ(plugin.height.load(), 30);
    EXPECT_FALSE(plugin.startMonitorOnStartup);
    EXPECT_EQ(plugin.bufferSize, 128);
    EXPECT_EQ(plugin.freqMin.load(), 3);
    EXPECT_EQ(plugin.freqMax.load(), 40);
    EXPECT_EQ(plugin.bandCount, 37);
    EXPECT_EQ(plugin.frameIntervalMs.load(), 33);
    EXPECT_EQ(plugin.sampleRateKHz, 44);
    EXPECT_EQ(plugin.bitsPerSample, 8);
    EXPECT_TRUE(plugin.peakMarkers.load());
    EXPECT_STREQ(plugin.peakType, "line");
    EXPECT_FLOAT_EQ(plugin.peakDropSpeed.load(), 0.5f);
    EXPECT_EQ(plugin.maxBarHeight.load(), 100);
    EXPECT_STREQ(plugin.scopeColorKey, "menu.frame.color:");
    EXPECT_STREQ(plugin.peakColorKey, "window.label.focus.color:");
    EXPECT_STREQ(plugin.tabPosition, "tl");
    EXPECT_TRUE(plugin.scopeType.equals("v"));
    EXPECT_FALSE(plugin.showBorder);
}

TEST_F(LoadSettings, RangeClampsAndFixUps) {
    struct Case {
        const char* stored;
        int bufferSize, freqMin, freqMax, frameIntervalMs;
    };
    const Case cases[] = {
        {"wave.buffsize: 1000", 256, 0, 128, 40},
        {"wave.buffsize: 8", 32, 0, 16, 40},
        {"wave.buffsize: 100", 100, 0, 50, 40},  // accepted although its half is no power of two
        {"wave.freqmin: 40\nVumira.plugin.wave.freqmax: 10", 64, 0, 63, 40},
        {"wave.freqmax: 500", 64, 0, 63, 40},
        {"wave.freqmax: 63", 64, 0, 63, 40},
        {"wave.freqmax: -4", 64, 0, 63, 40},
        {"wave.freqmin: -5", 64, 0, 32, 40},   // raised to 0
        {"wave.freqmin: 300", 64, 0, 63, 40},  // lowered to 63, then above the default top: whole range
        {"wave.freqmin: 63\nVumira.plugin.wave.freqmax: 63", 64, 63, 63, 40},
        {"wave.fps: 0", 64, 0, 32, 1000},
        {"wave.fps: -7", 64, 0, 32, 1000},
        {"wave.fps: 30", 64, 0, 32, 33},
        {"wave.fps: 2000", 64, 0, 32, 0},
    };
    for (const auto& c : cases) {
        writeFile(besideModule("Vumira.rc"), std::string("Vumira.plugin.") + c.stored + "\n");
        vumira::loadSettings();
        EXPECT_EQ(plugin.bufferSize, c.bufferSize) << c.stored;
        EXPECT_EQ(plugin.freqMin.load(), c.freqMin) << c.stored;
        EXPECT_EQ(plugin.freqMax.load(), c.freqMax) << c.stored;
        EXPECT_EQ(plugin.bandCount, c.freqMax - c.freqMin) << c.stored;
        EXPECT_EQ(plugin.frameIntervalMs.load(), c.frameIntervalMs) << c.stored;
    }
}

TEST_F(LoadSettings, PeakDropIsStoredInTenths) {
    for (int tenths : {1, 5, 7, 20}) {
        writeFile(besideModule("Vumira.rc"), "Vumira.plugin.style.peakDrop: " + std::to_string(tenths) + "\n");
        vumira::loadSettings();
        EXPECT_FLOAT_EQ(plugin.peakDropSpeed.load(), static_cast<float>(tenths * 0.1)) << tenths;
    }
}

TEST_F(LoadSettings, TextsLongerThanTheirBuffersAreCutToFit) {
    std::string longText(400, 'x');
    writeFile(besideModule("Vumira.rc"),
              "Vumira.plugin.style.tabPosition: " + longText + "\n" +
              "Vumira.plugin.style.scopeType: " + longText + "\n" +
              "Vumira.plugin.style.peakType: " + longText + "\n" +
              "Vumira.plugin.style.ScopeColor: " + longText + "\n" +
              "Vumira.plugin.update.url: " + longText + "\n");
    vumira::loadSettings();
    EXPECT_EQ(std::string(plugin.tabPosition), std::string(2, 'x'));
    char scope[vumira::kScopeTypeSize];
    plugin.scopeType.get(scope);
    EXPECT_EQ(std::string(scope), std::string(4, 'x'));
    EXPECT_EQ(std::string(plugin.peakType), std::string(31, 'x'));
    EXPECT_EQ(std::string(plugin.scopeColorKey), std::string(98, 'x') + ":") << "the colon still fits";
    EXPECT_EQ(std::string(plugin.updateUrl), std::string(259, 'x'));
}

TEST_F(LoadSettings, AWindowSizeIsKeptBetweenTheSmallestWindowAndTheScreen) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(screenWidth, 17);
    ASSERT_GT(screenHeight, 17);
    struct Case {
        long long stored;  // both keys
        int keptWidth, keptHeight;
    };
    const Case cases[] = {
        {-200, 16, 16}, {0, 16, 16}, {15, 16, 16}, {16, 16, 16}, {17, 17, 17},
        {screenHeight, std::min(screenHeight, screenWidth), screenHeight},
        {screenWidth, screenWidth, std::min(screenWidth, screenHeight)},
        {screenWidth + 1, screenWidth, screenHeight}, {99999, screenWidth, screenHeight},
    };
    for (const Case& c : cases) {
        writeFile(besideModule("Vumira.rc"), "Vumira.plugin.width: " + std::to_string(c.stored) +
                                                 "\nVumira.plugin.height: " + std::to_string(c.stored) + "\n");
        vumira::loadSettings();
        EXPECT_EQ(plugin.width.load(), c.keptWidth) << c.stored;
        EXPECT_EQ(plugin.height.load(), c.keptHeight) << c.stored;
    }
}

TEST_F(LoadSettings, EachLoadSearchesAnewAndOverwritesEverySetting) {
    writeFile(inHome("Vumira.rc"), "Vumira.plugin.width: 222\n");
    vumira::loadSettings();
    EXPECT_EQ(plugin.width.load(), 222);
    writeFile(besideModule("Vumirarc"), "Vumira.plugin.height: 44\n");
    vumira::loadSettings();
    EXPECT_EQ(nativePath(plugin.rcPath), nativePath(besideModule("Vumirarc")));
    EXPECT_EQ(plugin.width.load(), 100) << "a key missing from the new file goes back to its default";
    EXPECT_EQ(plugin.height.load(), 44);
}

TEST_F(LoadSettings, SpectrumKeysAreReadWithTheirBoundsAndAbsentOnesGiveTheExactAnalysis) {
    struct Case {
        const char* stored;  // lines after "Vumira.plugin.spectrum."
        float logScale, points, lowHz, highHz, bandsPerOctave, floorDb, autoGain, aWeighting;
    };
    const Case cases[] = {
        {"", 0, 4096, 50, 16000, 0, -70, 0, 0},
        {"scale: log\nVumira.plugin.spectrum.weighting: A\nVumira.plugin.spectrum.autoGain: yes", 1, 4096, 50, 16000,
         0, -70, 1, 1},
        {"scale: LOG\nVumira.plugin.spectrum.weighting: none", 1, 4096, 50, 16000, 0, -70, 0, 0},
        {"scale: loud", 0, 4096, 50, 16000, 0, -70, 0, 0},  // no value of the key: its default
        {"points: 5000", 0, 4096, 50, 16000, 0, -70, 0, 0},    // the nearest power of two
        {"points: 100", 0, 512, 50, 16000, 0, -70, 0, 0},
        {"points: 99999", 0, 16384, 50, 16000, 0, -70, 0, 0},
        {"points: lots", 0, 4096, 50, 16000, 0, -70, 0, 0},
        {"lowHz: 44.6683\nVumira.plugin.spectrum.highHz: 12500", 0, 4096, 44.6683f, 12500, 0, -70, 0, 0},
        {"highHz: 200000", 0, 4096, 50, 96000, 0, -70, 0, 0},
        {"bandsPerOctave: 4", 0, 4096, 50, 16000, 3, -70, 0, 0},  // the nearest of 0, 1, 2, 3, 6, 12, 24
        {"bandsPerOctave: 20", 0, 4096, 50, 16000, 24, -70, 0, 0},
        {"floorDb: -60", 0, 4096, 50, 16000, 0, -60, 0, 0},
        {"floorDb: 5", 0, 4096, 50, 16000, 0, -1, 0, 0},
        {"floorDb: -500", 0, 4096, 50, 16000, 0, -200, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        writeFile(besideModule("Vumira.rc"), *c.stored ? std::string("Vumira.plugin.spectrum.") + c.stored + "\n" : "");
        const std::string before = readFile(besideModule("Vumira.rc"));
        vumira::loadSettings();
        const vumira::SpectrumSettings& s = plugin.spectrum;
        EXPECT_EQ(s.logScale.load(), c.logScale);
        EXPECT_EQ(s.points.load(), c.points);
        EXPECT_FLOAT_EQ(s.lowHz.load(), c.lowHz);
        EXPECT_EQ(s.highHz.load(), c.highHz);
        EXPECT_EQ(s.bandsPerOctave.load(), c.bandsPerOctave);
        EXPECT_EQ(s.floorDb.load(), c.floorDb);
        EXPECT_EQ(s.autoGain.load(), c.autoGain);
        EXPECT_EQ(s.aWeighting.load(), c.aWeighting);
        EXPECT_EQ(readFile(besideModule("Vumira.rc")), before) << "reading writes nothing";
    }
}

}  // namespace
