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

}  // namespace
