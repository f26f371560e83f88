// CreateFileA with CREATE_NEW and CloseHandle, as a program uses them to
// learn whether a folder takes new files: plain Win32, run natively and
// under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

// (The suites are not called CreateFile: Windows' headers make that name a macro.)
HANDLE createNew(const std::string& path, DWORD flags) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, flags, nullptr);
}

TEST(NewFile, ANewFileIsMadeAndAnExistingOneRefused) {
    testsupport::TempDir folder;
    const std::string path = folder.file("new.txt");
    HANDLE file = createNew(path, FILE_ATTRIBUTE_NORMAL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_TRUE(std::filesystem::exists(path));

    SetLastError(0);
    EXPECT_EQ(createNew(path, FILE_ATTRIBUTE_NORMAL), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));

    EXPECT_TRUE(CloseHandle(file));
    EXPECT_TRUE(std::filesystem::exists(path));  // kept: it was not asked to go
}

TEST(NewFile, DeleteOnCloseRemovesTheFileAtItsClose) {
    testsupport::TempDir folder;
    const std::string path = folder.file("probe");
    HANDLE file = createNew(path, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(NewFile, AFolderThatIsNotThereIsAPathNotFound) {
    testsupport::TempDir folder;
    SetLastError(0);
    EXPECT_EQ(createNew(folder.file("missing/new.txt"), FILE_ATTRIBUTE_NORMAL), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST(FileHandle, AHandleThatIsNoFileIsRefused) {
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x1234560))));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

}  // namespace
