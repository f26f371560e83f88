// Kernel calls: time, version, memory and modules, as plain Win32.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "known_difference.h"

namespace {

// The tick count advances in steps of 10-16 ms on Windows (and under Wine),
// and a sleep may end up to one step early by that clock: after Sleep(50)
// anything from about 20 ms on is honest. What it promises is that it never
// goes backwards and that it follows real time at that coarse grain.
TEST(Kernel, TickCountAdvancesWithSleep) {
    constexpr DWORD kCoarsestStepMs = 16;
    DWORD before = GetTickCount();
    Sleep(50);
    DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 50u - 2 * kCoarsestStepMs);
    EXPECT_LT(elapsed, 5000u) << "a busy machine delays a sleep, but not by seconds";

    const DWORD start = GetTickCount();
    DWORD last = start;
    for (int reads = 0; last - start < 100; ++reads) {
        ASSERT_LT(reads, 10000) << "the tick count stood still";
        Sleep(1);
        const DWORD now = GetTickCount();
        ASSERT_GE(now - start, last - start) << "the tick count went backwards";
        last = now;
    }
}

TEST(Kernel, VersionIsOfTheNtFamilyAboveFour) {
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_EQ(sizeof version, 148u);
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_GT(version.dwMajorVersion, 4u);
}

TEST(Kernel, VersionRefusesARecordOfTheWrongSize) {
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(GetVersionExA(&version));
    EXPECT_EQ(GetLastError(), 122u);  // ERROR_INSUFFICIENT_BUFFER
}

TEST(Kernel, VirtualAllocGivesZeroedWritablePagesUntilReleased) {
    auto* block = static_cast<unsigned char*>(VirtualAlloc(nullptr, 256, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(block[i], 0) << i;
    std::memset(block, 0xAB, 256);
    EXPECT_EQ(block[255], 0xAB);
    EXPECT_FALSE(VirtualFree(block, 256, MEM_RELEASE)) << "a release takes size 0";
    EXPECT_TRUE(VirtualFree(block, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(block, 0, MEM_RELEASE)) << "released twice";
}

// The fixture module sits in the build folder; its file name is known.
std::string fixtureName() {
    std::string path = FIXTURE_MODULE;
    return path.substr(path.find_last_of("/\\") + 1);
}

TEST(Kernel, ModulesAreFoundByHandleNameAndEntryPoint) {
    HMODULE module = LoadLibraryA(FIXTURE_MODULE);
    ASSERT_NE(module, nullptr);

    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, std::strlen(path));
    std::string file = path;
    EXPECT_EQ(file.substr(file.find_last_of("/\\") + 1), fixtureName());

    using Answer = int (*)();
    auto answer = reinterpret_cast<Answer>(reinterpret_cast<void*>(GetProcAddress(module, "fixtureAnswer")));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(module, "noSuchEntryPoint"), nullptr);

    EXPECT_EQ(GetModuleHandleA(fixtureName().c_str()), module);
    EXPECT_EQ(LoadLibraryA(FIXTURE_MODULE), module) << "a second load gives the same handle";
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Kernel, ModuleFileNameIsCutToTheBuffer) {
    HMODULE module = LoadLibraryA(FIXTURE_MODULE);
    ASSERT_NE(module, nullptr);
    char full[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(module, full, MAX_PATH);
    ASSERT_GT(length, 4u);
    char small[5];
    std::memset(small, 'x', sizeof small);
    SetLastError(0);
    DWORD cut = GetModuleFileNameA(module, small, sizeof small);
    DWORD error = GetLastError();  // read before a failed check's report can change it
    EXPECT_EQ(cut, static_cast<DWORD>(sizeof small));
    EXPECT_EQ(error, 122u);  // ERROR_INSUFFICIENT_BUFFER
    KNOWN_WINE_DIFFERENCE("Wine's GetModuleFileNameA fills the whole buffer and leaves out the terminating zero "
                          "when the name does not fit, as Windows XP did",
                          EXPECT_EQ(std::string(small, strnlen(small, sizeof small)), std::string(full, 4)));
    FreeLibrary(module);
}

TEST(Kernel, TheProgramItselfIsTheNullModule) {
    char path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
    EXPECT_NE(std::string(path).find("kernel_tests"), std::string::npos) << path;
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

TEST(Kernel, AMissingModuleIsReported) {
    EXPECT_EQ(LoadLibraryA("no-such-module-anywhere.so"), nullptr);
    EXPECT_EQ(GetLastError(), 126u);  // ERROR_MOD_NOT_FOUND
}

}  // namespace
