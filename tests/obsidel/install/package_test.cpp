// The Debian package: made by CPack from this build, installed with dpkg
// into a scratch root (no container, nothing outside that folder), and run
// from there: the installed host must find its libraries, its module and its
// styles in the installed tree alone.
#include <gtest/gtest.h>

#include <vumira_version.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;

int run(const std::string& command, const std::string& log) {
    return std::system((command + " >'" + log + "' 2>&1").c_str());
}

class Package : public testing::Test {
protected:
    void SetUp() override {
        const std::string out = folder.file("out");
        ASSERT_EQ(run(std::string("'") + CPACK_COMMAND + "' -G DEB --config '" + CPACK_CONFIG + "' -B '" + out + "'",
                      folder.file("cpack.log")), 0)
            << readFile(folder.file("cpack.log"));
        for (const auto& entry : fs::directory_iterator(out))
            if (entry.path().extension() == ".deb") deb = entry.path().string();
        ASSERT_FALSE(deb.empty()) << readFile(folder.file("cpack.log"));

        // An empty dpkg database of the scratch root's own.
        for (const char* sub : {"var/lib/dpkg/info", "var/lib/dpkg/updates", "var/lib/dpkg/triggers"})
            fs::create_directories(fs::path(root()) / sub);
        testsupport::writeFile(root() + "/var/lib/dpkg/status", "");
        // Unpacked, not configured: configuring runs ldconfig, which is the
        // whole machine's. The libraries it depends on are the machine's too,
        // outside the scratch database.
        ASSERT_EQ(run("dpkg --root='" + root() + "' --log='" + folder.file("dpkg.log") +
                          "' --force-depends --force-not-root --unpack '" + deb + "'",
                      folder.file("install.log")), 0)
            << readFile(folder.file("install.log"));
    }

    std::string root() const { return folder.file("root"); }

    TempDir folder;
    std::string deb;
};

TEST_F(Package, IsNamedForTheProjectsVersion) {
    EXPECT_EQ(fs::path(deb).filename().string().rfind(std::string("obsidel_") + VUMIRA_VERSION + "_", 0), 0u) << deb;
}

TEST_F(Package, LaysOutTheProgramModuleStylesManualAndDesktopEntry) {
    for (const char* file : {"usr/bin/obsidel", "usr/lib/obsidel/vumira.so", "usr/lib/obsidel/libwin32subset.so",
                             "usr/share/obsidel/styles/default.style", "usr/share/obsidel/styles/paper.style",
                             "usr/share/obsidel/styles/ember.style", "usr/share/obsidel/styles/mono.style",
                             "usr/share/man/man1/obsidel.1", "usr/share/applications/obsidel.desktop"})
        EXPECT_TRUE(fs::is_regular_file(fs::path(root()) / file)) << file;
    const std::string manual = readFile(root() + "/usr/share/man/man1/obsidel.1");
    EXPECT_NE(manual.find(std::string("\"obsidel ") + VUMIRA_VERSION + "\""), std::string::npos);
    EXPECT_NE(manual.find("obsidel \\-\\-wave\\-in playing \\-\\-save\n"), std::string::npos);
    EXPECT_NE(readFile(root() + "/usr/share/applications/obsidel.desktop").find("\nExec=obsidel\n"), std::string::npos);
}

TEST_F(Package, TheInstalledHostRunsFromTheInstalledFilesAlone) {
    const std::string program = root() + "/usr/bin/obsidel";
    const std::string out = folder.file("run.out"), err = folder.file("run.err");
    // An empty environment: nothing points the installed host at the build tree.
    const std::string version = "env -i PATH=/usr/bin:/bin '" + program + "' --version";
    ASSERT_EQ(std::system((version + " >'" + out + "' 2>'" + err + "'").c_str()), 0) << readFile(err);
    EXPECT_EQ(readFile(out), std::string("obsidel ") + VUMIRA_VERSION + "\n");

    // The subset's library is the installed one, through the program's own run path.
    ASSERT_EQ(std::system(("ldd '" + program + "' >'" + out + "' 2>'" + err + "'").c_str()), 0) << readFile(err);
    EXPECT_NE(readFile(out).find("libwin32subset.so => " + root() + "/usr/bin/../lib/obsidel/libwin32subset.so"),
              std::string::npos)
        << readFile(out);

    // No module named: the installed one (the only one there is: a run
    // without a plug-in ends with 1); no style named: the installed default.
    const std::string shot = folder.file("shot.png");
    const std::string headless = "env -i PATH=/usr/bin:/bin HOME='" + folder.file("home") + "' '" + program +
                                 "' --display headless --wave-in demo --exit-after 500 --snapshot '" + shot + "'";
    ASSERT_EQ(std::system((headless + " >'" + out + "' 2>'" + err + "'").c_str()), 0) << readFile(err);
    const std::string chosen = "obsidel: display headless (--display headless); recording from demo (--wave-in demo)";
    EXPECT_NE(readFile(err).find(chosen), std::string::npos) << readFile(err);
    EXPECT_EQ(readFile(shot).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

}  // namespace
