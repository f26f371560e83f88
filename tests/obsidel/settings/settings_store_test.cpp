// The host's settings files, through the host API that plug-ins call.
#include <obsidel/api.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

TEST(SettingsStore, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
    TempDir dir;
    std::string rc = dir.file("new.rc");
    EXPECT_FALSE(FileExists(rc.c_str()));
    EXPECT_EQ(ReadInt(rc.c_str(), "a.number:", 7), 7);
    EXPECT_EQ(ReadBool(rc.c_str(), "a.flag:", 1), 1);
    EXPECT_STREQ(ReadString(rc.c_str(), "a.text:", "fallback"), "fallback");

    WriteInt(rc.c_str(), "a.number:", 42);
    EXPECT_TRUE(FileExists(rc.c_str()));
    EXPECT_EQ(readFile(rc), "a.number: 42\n");
}

TEST(SettingsStore, KeysMatchIgnoringCaseWithOrWithoutColon) {
    TempDir dir;
    std::string rc = dir.file("keys.rc");
    writeFile(rc, "Vumira.plugin.wave.KHz: 44\n");
    EXPECT_EQ(ReadInt(rc.c_str(), "Vumira.plugin.wave.KHz:", 0), 44);
    EXPECT_EQ(ReadInt(rc.c_str(), "vumira.plugin.wave.khz:", 0), 44);
    EXPECT_EQ(ReadInt(rc.c_str(), "VUMIRA.PLUGIN.WAVE.KHZ", 0), 44);
    EXPECT_EQ(ReadInt(rc.c_str(), "Vumira.plugin.wave", 0), 0) << "a key's prefix is another key";
}

TEST(SettingsStore, WriteKeepsOtherLinesCommentsAndOrder) {
    TempDir dir;
    std::string rc = dir.file("keep.rc");
    writeFile(rc,
              "# my settings\n"
              "first: 1\n"
              "\n"
              "! another comment\n"
              "SECOND: old value\n"
              "third: 3\n"
              "second: shadowed\n");
    WriteString(rc.c_str(), "second:", "new value");
    WriteInt(rc.c_str(), "fourth:", -4);
    EXPECT_EQ(readFile(rc),
              "# my settings\n"
              "first: 1\n"
              "\n"
              "! another comment\n"
              "second: new value\n"
              "third: 3\n"
              "second: shadowed\n"
              "fourth: -4\n");
    EXPECT_STREQ(ReadString(rc.c_str(), "second:", ""), "new value");
}

TEST(SettingsStore, CommentedOutKeysAreNotRead) {
    TempDir dir;
    std::string rc = dir.file("comment.rc");
    writeFile(rc, "# width: 10\n  ! width: 20\nwidth: 30\n");
    EXPECT_EQ(ReadInt(rc.c_str(), "width:", 0), 30);
}

TEST(SettingsStore, ValuesAreTrimmedAndWindowsLineEndsRead) {
    TempDir dir;
    std::string rc = dir.file("crlf.rc");
    writeFile(rc, "  name :   two words  \r\nflag: yes\r\n");
    EXPECT_STREQ(ReadString(rc.c_str(), "name:", ""), "two words");
    EXPECT_EQ(ReadBool(rc.c_str(), "flag:", 0), 1);
}

TEST(SettingsStore, WriteKeepsWindowsLineEndsAndOtherLinesByteForByte) {
    TempDir dir;
    std::string rc = dir.file("crlf-write.rc");
    writeFile(rc, "a: 1\r\nnote\r\r\n\r\nb: 2\r\n");
    WriteInt(rc.c_str(), "a:", 5);
    EXPECT_EQ(readFile(rc), "a: 5\r\nnote\r\r\n\r\nb: 2\r\n");
    WriteInt(rc.c_str(), "c:", 3);
    WriteInt(rc.c_str(), "a:", 6);
    EXPECT_EQ(readFile(rc), "a: 6\r\nnote\r\r\n\r\nb: 2\r\nc: 3\r\n");
    EXPECT_EQ(ReadInt(rc.c_str(), "b:", 0), 2);
}

TEST(SettingsStore, TypedReadsTakeOnlyValuesOfTheirType) {
    struct Case {
        const char* stored;
        int asInt;   // default 99
        int asBool;  // default 5 (neither 0 nor 1, so a fallback shows)
    };
    const Case cases[] = {
        {"12", 12, 5},   {"-3", -3, 5},     {"+8", 8, 5},       {"0", 0, 0},        {"1", 1, 1},
        {"true", 99, 1}, {"TRUE", 99, 1},   {"yes", 99, 1},     {"No", 99, 0},      {"false", 99, 0},
        {"", 99, 5},     {"12abc", 99, 5},  {"abc", 99, 5},     {"99999999999", 99, 5},
    };
    TempDir dir;
    std::string rc = dir.file("types.rc");
    for (const auto& c : cases) {
        writeFile(rc, std::string("value: ") + c.stored + "\n");
        EXPECT_EQ(ReadInt(rc.c_str(), "value:", 99), c.asInt) << "stored \"" << c.stored << "\"";
        EXPECT_EQ(ReadBool(rc.c_str(), "value:", 5), c.asBool) << "stored \"" << c.stored << "\"";
    }
}

TEST(SettingsStore, BoolsAreWrittenAsTrueAndFalse) {
    TempDir dir;
    std::string rc = dir.file("bools.rc");
    WriteBool(rc.c_str(), "on:", 1);
    WriteBool(rc.c_str(), "off:", 0);
    EXPECT_EQ(readFile(rc), "on: true\noff: false\n");
}

TEST(SettingsStore, LineBreaksInAValueCannotForgeOtherKeys) {
    TempDir dir;
    std::string rc = dir.file("forge.rc");
    WriteString(rc.c_str(), "name:", "evil\nalwaysontop: false");
    EXPECT_EQ(ReadString(rc.c_str(), "alwaysontop:", "unset"), std::string("unset"));
    EXPECT_EQ(readFile(rc), "name: evil alwaysontop: false\n");
}

TEST(SettingsStore, WriteLeavesNoTemporaryFilesBehind) {
    TempDir dir;
    std::string rc = dir.file("tidy.rc");
    for (int i = 0; i < 20; ++i) WriteInt(rc.c_str(), "counter:", i);
    EXPECT_EQ(ReadInt(rc.c_str(), "counter:", -1), 19);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(SettingsStore, AFailedWriteLeavesTheOldFileAsItWas) {
    TempDir dir;
    std::string missingFolder = dir.file("no/such/folder/x.rc");
    WriteInt(missingFolder.c_str(), "key:", 1);
    EXPECT_FALSE(FileExists(missingFolder.c_str()));
    EXPECT_EQ(ReadInt(missingFolder.c_str(), "key:", 5), 5);
}

TEST(SettingsStore, AFileChangedOnDiskAfterTheHostReadItIsReadAgain) {
    struct Case {
        const char* how;
        void (*change)(const std::string& rc);
        int expected;
    };
    const Case cases[] = {
        {"replaced by another file of the same size, as editors save",
         [](const std::string& rc) {
             writeFile(rc + ".new", "width: 22\nheight: 5\n");
             std::filesystem::rename(rc + ".new", rc);
         },
         22},
        {"rewritten in place with another length",
         [](const std::string& rc) { writeFile(rc, "width: 333\nheight: 5\n"); }, 333},
        {"removed", [](const std::string& rc) { std::filesystem::remove(rc); }, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        TempDir dir;
        std::string rc = dir.file("changed.rc");
        WriteInt(rc.c_str(), "width:", 11);
        WriteInt(rc.c_str(), "height:", 5);
        ASSERT_EQ(ReadInt(rc.c_str(), "width:", -1), 11);
        c.change(rc);
        EXPECT_EQ(ReadInt(rc.c_str(), "width:", -1), c.expected);
        // A write keeps what changed on disk besides its own key.
        WriteInt(rc.c_str(), "depth:", 1);
        EXPECT_EQ(ReadInt(rc.c_str(), "width:", -1), c.expected);
        EXPECT_EQ(ReadInt(rc.c_str(), "depth:", -1), 1);
    }
}

TEST(SettingsStore, WritingTheLineAFileHoldsAlreadyLeavesTheFileAlone) {
    TempDir dir;
    std::string rc = dir.file("same.rc");
    writeFile(rc, "x: 10\nVumira.plugin.width: 100\n");
    const auto before = std::filesystem::last_write_time(rc);

    WriteInt(rc.c_str(), "Vumira.plugin.width:", 100);
    EXPECT_EQ(std::filesystem::last_write_time(rc), before);
    EXPECT_EQ(readFile(rc), "x: 10\nVumira.plugin.width: 100\n");

    // The same value spelt otherwise is written as the host writes it.
    WriteInt(rc.c_str(), "x:", 10);
    EXPECT_EQ(readFile(rc), "x: 10\nVumira.plugin.width: 100\n");
    WriteInt(rc.c_str(), "VUMIRA.plugin.width:", 100);
    EXPECT_EQ(readFile(rc), "x: 10\nVUMIRA.plugin.width: 100\n");
    WriteInt(rc.c_str(), "x:", 12);
    EXPECT_EQ(readFile(rc), "x: 12\nVUMIRA.plugin.width: 100\n");
}

}  // namespace
