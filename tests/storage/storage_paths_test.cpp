#include "storage/storage_paths.h"
#include "storage/support_log.h"

#include "storage_test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

using StoragePathsTest = FakeFoldersTest;

TEST_F(StoragePathsTest, PathsThatWouldNotFitFail) {
    // With "\Pagewren\config.xml" (20 characters): 260 characters, then exactly 259.
    g_localFolder = "C:\\" + std::string(MAX_PATH - 3 - 20, 'x');
    g_commonFolder = "C:\\" + std::string(MAX_PATH - 3 - 21, 'x');
    char path[MAX_PATH] = "";
    EXPECT_FALSE(GetConfigPath(StorageScope::CurrentUser, path));
    ASSERT_TRUE(GetConfigPath(StorageScope::AllUsers, path));
    EXPECT_EQ(MAX_PATH - 1, lstrlenA(path));
}

// At its limit, shortened here, the support log becomes Pagewren.1.log, replacing the older one;
// lines keep their time and thread, addresses lose their tokens.
TEST_F(StoragePathsTest, SupportLogTurnsOverAtItsLimit) {
    g_supportLogLimit = 300;
    ASSERT_TRUE(StartSupportLog());
    for (int i = 10; i < 30; ++i) LogEvent("event %d", i);
    const std::string folder = g_localFolder + "\\Pagewren\\";
    const std::string log = ReadFileBytes(folder + "Pagewren.log"), older = ReadFileBytes(folder + "Pagewren.1.log");
    EXPECT_LE(log.size(), 300u);
    EXPECT_GT(older.size(), 250u);
    const std::regex lastLine("\\n\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z main event 29\\r\\n$");
    EXPECT_TRUE(std::regex_search(log, lastLine)) << log;
    EXPECT_EQ(std::string::npos, (older + log).find("event 10")) << older;
    g_supportLogLimit = 0;
    char address[36];
    for (auto [path, logged] : {std::pair{"/tray.php?token=abc&secretpart&action=1", "/tray.php?token=<token>&action=1"},
                                {"/tray.php?token=a&action=2&token=b&action=1", "/tray.php?token=<token>&action=1"},
                                {"/tray.php?token=no&action", "/tray.php?token=<token>"},
                                {"/a/longer/folder/tray.php?token=x&action=1", "/a/longer/folder/tray.php?token=<to"}}) {
        RedactToken(path, address, sizeof address);
        EXPECT_STREQ(logged, address) << path;
    }
}

}  // namespace
