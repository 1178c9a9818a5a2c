#include "storage/storage_paths.h"

#include "storage_test_support.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

namespace {

// What the faked shell lookup answers and what it was asked.
struct FakeShell {
    std::string local;
    std::string common;
    HRESULT result = S_OK;
    DWORD version = 0x0A000006;  // an NT-family version word
    DWORD localType = 99;
    DWORD commonType = 99;
} g_fake;

DWORD WINAPI FakeVersion() { return g_fake.version; }

HRESULT WINAPI FakeFolderPath(HWND, int folder, HANDLE, DWORD type, LPSTR path) {
    if (FAILED(g_fake.result)) return g_fake.result;
    if (folder == CSIDL_LOCAL_APPDATA) {
        g_fake.localType = type;
        lstrcpynA(path, g_fake.local.c_str(), MAX_PATH);
    } else if (folder == CSIDL_COMMON_APPDATA) {
        g_fake.commonType = type;
        lstrcpynA(path, g_fake.common.c_str(), MAX_PATH);
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

struct StoragePathsTest : ::testing::Test {
    void SetUp() override {
        ASSERT_FALSE(scratch.path.empty());
        saved = g_storagePlatform;
        g_fake = FakeShell();
        g_fake.local = scratch.path + "\\local";
        g_fake.common = scratch.path + "\\common";
        g_storagePlatform = {FakeVersion, FakeFolderPath};
    }
    void TearDown() override { g_storagePlatform = saved; }

    std::string ConfigPath(StorageScope scope) {
        char out[MAX_PATH] = "";
        return GetConfigPath(scope, out) ? std::string(out) : std::string("<failed>");
    }

    ScratchFolder scratch;
    StoragePlatform saved;
};

TEST_F(StoragePathsTest, EachScopeHasItsOwnFolderAndFile) {
    char out[MAX_PATH];
    ASSERT_TRUE(GetStorageFolder(StorageScope::CurrentUser, out));
    EXPECT_EQ(g_fake.local + "\\Pagewren\\", out);
    ASSERT_TRUE(GetStorageFolder(StorageScope::AllUsers, out));
    EXPECT_EQ(g_fake.common + "\\Pagewren\\", out);
    EXPECT_EQ(g_fake.local + "\\Pagewren\\config.xml", ConfigPath(StorageScope::CurrentUser));
    EXPECT_EQ(g_fake.common + "\\Pagewren\\config.xml", ConfigPath(StorageScope::AllUsers));
    // The user's folder as it is now, the common one as the system defines it.
    EXPECT_EQ(static_cast<DWORD>(SHGFP_TYPE_CURRENT), g_fake.localType);
    EXPECT_EQ(static_cast<DWORD>(SHGFP_TYPE_DEFAULT), g_fake.commonType);
}

TEST_F(StoragePathsTest, RefusesUnknownScopesNullBuffersAndFailedLookups) {
    char out[MAX_PATH];
    EXPECT_FALSE(GetStorageFolder(static_cast<StorageScope>(0), out));
    EXPECT_FALSE(GetConfigPath(static_cast<StorageScope>(3), out));
    EXPECT_FALSE(GetConfigPath(StorageScope::CurrentUser, nullptr));
    EXPECT_FALSE(GetUserDataFolder(nullptr));
    EXPECT_FALSE(GetModuleFolder(nullptr));
    g_fake.result = E_FAIL;
    EXPECT_FALSE(GetUserDataFolder(out));
    EXPECT_FALSE(GetConfigPath(StorageScope::AllUsers, out));
}

TEST_F(StoragePathsTest, PathsThatWouldNotFitFail) {
    // With "\Pagewren\config.xml" (20 characters): 260 characters, then exactly 259.
    g_fake.local = "C:\\" + std::string(MAX_PATH - 3 - 20, 'x');
    g_fake.common = "C:\\" + std::string(MAX_PATH - 3 - 21, 'x');
    char out[MAX_PATH];
    EXPECT_FALSE(GetConfigPath(StorageScope::CurrentUser, out));
    ASSERT_TRUE(GetConfigPath(StorageScope::AllUsers, out));
    EXPECT_EQ(static_cast<size_t>(MAX_PATH - 1), strlen(out));
}

TEST_F(StoragePathsTest, OldWindowsFamilyUsesTheProgramFolderForBothScopes) {
    char module[MAX_PATH];
    ASSERT_TRUE(GetModuleFolder(module));
    std::string folder = module;
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ('\\', folder.back());
    EXPECT_TRUE(IsFolderPath(folder));
    char file[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, file, sizeof file), 0u);
    EXPECT_EQ(0u, std::string(file).find(folder));
    EXPECT_EQ(std::string::npos, std::string(file).find('\\', folder.size()));

    g_fake.version = 0x80000000;
    EXPECT_EQ(folder + "\\Pagewren\\config.xml", ConfigPath(StorageScope::CurrentUser));
    EXPECT_EQ(folder + "\\Pagewren\\config.xml", ConfigPath(StorageScope::AllUsers));
}

TEST_F(StoragePathsTest, CreatesANewFolderChain) {
    std::string chain = scratch.path + "\\a\\\\b\\c\\";
    ASSERT_TRUE(CreateFolderPath(chain.c_str()));
    EXPECT_TRUE(IsFolderPath(scratch.path + "\\a\\b\\c"));
}

TEST_F(StoragePathsTest, AnExistingChainIsFine) {
    std::string chain = scratch.path + "\\a\\b";
    ASSERT_TRUE(CreateDirectoryA((scratch.path + "\\a").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(chain.c_str(), nullptr));
    EXPECT_TRUE(CreateFolderPath(chain.c_str()));
    EXPECT_TRUE(CreateFolderPath(scratch.path.c_str()));
}

TEST_F(StoragePathsTest, StopsAtTheFirstFolderThatCannotBeMade) {
    // "|" is not allowed in a file name.
    std::string chain = scratch.path + "\\made\\bad|name\\never";
    EXPECT_FALSE(CreateFolderPath(chain.c_str()));
    EXPECT_TRUE(IsFolderPath(scratch.path + "\\made"));
    EXPECT_FALSE(PathExists(scratch.path + "\\made\\never"));

    // A file where a folder belongs does not count as the folder.
    ASSERT_TRUE(WriteFileBytes(scratch.path + "\\file", "x"));
    EXPECT_FALSE(CreateFolderPath((scratch.path + "\\file").c_str()));
    EXPECT_FALSE(CreateFolderPath((scratch.path + "\\file\\below").c_str()));
}

TEST_F(StoragePathsTest, RefusesEmptyAndOverlongPaths) {
    EXPECT_FALSE(CreateFolderPath(nullptr));
    EXPECT_FALSE(CreateFolderPath(""));
    EXPECT_FALSE(CreateFolderPath("\\\\"));
    std::string overlong = scratch.path + "\\" + std::string(MAX_PATH, 'x');
    EXPECT_FALSE(CreateFolderPath(overlong.c_str()));
}

}  // namespace
