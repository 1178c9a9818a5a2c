#include "storage/storage_paths.h"

#include "storage_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using StoragePathsTest = FakeFoldersTest;

std::string ConfigPath(StorageScope scope) {
    char out[MAX_PATH] = "";
    return GetConfigPath(scope, out) ? std::string(out) : std::string("<failed>");
}

TEST_F(StoragePathsTest, PathsThatWouldNotFitFail) {
    // With "\Pagewren\config.xml" (20 characters): 260 characters, then exactly 259.
    g_localFolder = "C:\\" + std::string(MAX_PATH - 3 - 20, 'x');
    g_commonFolder = "C:\\" + std::string(MAX_PATH - 3 - 21, 'x');
    EXPECT_EQ("<failed>", ConfigPath(StorageScope::CurrentUser));
    EXPECT_EQ(static_cast<size_t>(MAX_PATH - 1), ConfigPath(StorageScope::AllUsers).size());
}

TEST_F(StoragePathsTest, OldWindowsFamilyUsesTheProgramFolderForBothScopes) {
    char folder[MAX_PATH], file[MAX_PATH];
    ASSERT_TRUE(GetModuleFolder(folder));
    ASSERT_GT(GetModuleFileNameA(nullptr, file, sizeof file), 0u);
    EXPECT_EQ(0u, std::string(file).find(folder));
    g_versionWord = 0x80000000;
    EXPECT_EQ(std::string(folder) + "\\Pagewren\\config.xml", ConfigPath(StorageScope::CurrentUser));
    EXPECT_EQ(std::string(folder) + "\\Pagewren\\config.xml", ConfigPath(StorageScope::AllUsers));
}

TEST_F(StoragePathsTest, FolderChainsNewExistingAndFailingHalfway) {
    ASSERT_TRUE(CreateFolderPath((scratch.path + "\\a\\\\b\\c\\").c_str()));
    EXPECT_TRUE(PathExists(scratch.path + "\\a\\b\\c"));
    EXPECT_TRUE(CreateFolderPath((scratch.path + "\\a\\b").c_str()));

    // "|" is not allowed in a file name.
    EXPECT_FALSE(CreateFolderPath((scratch.path + "\\made\\bad|name\\never").c_str()));
    EXPECT_TRUE(PathExists(scratch.path + "\\made"));
    EXPECT_FALSE(PathExists(scratch.path + "\\made\\never"));

    // A file where a folder belongs does not count as the folder.
    ASSERT_TRUE(WriteFileBytes(scratch.path + "\\file", "x"));
    EXPECT_FALSE(CreateFolderPath((scratch.path + "\\file").c_str()));
    EXPECT_FALSE(CreateFolderPath(""));
}

}  // namespace
