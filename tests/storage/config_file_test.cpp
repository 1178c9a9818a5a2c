#include "storage/config_file.h"

#include "storage/kept_password.h"
#include "storage/settings.h"
#include "storage/storage_paths.h"
#include "storage_test_support.h"
#include "support/kept_credentials.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <functional>
#include <string>

namespace {

BOOL WINAPI FailingReplace(LPCSTR, LPCSTR, DWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

std::string Server(const std::string& attributes, const std::string& content = "") {
    return "<config><server " + attributes + ">" + content + "</server></config>";
}

struct ConfigFileTest : FakeFoldersTest {
    void SetUp() override {
        FakeFoldersTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        userFile = g_localFolder + "\\Pagewren\\config.xml";
        commonFile = g_commonFolder + "\\Pagewren\\config.xml";
        file = scratch + "\\config.xml";
    }
    void TearDown() override {
        g_replaceConfigFile = MoveFileExA;
        CoUninitialize();
        FakeFoldersTest::TearDown();
    }
    void PlaceFile(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(CreateFolderPath(path.substr(0, path.rfind('\\')).c_str()));
        ASSERT_TRUE(WriteFileBytes(path, bytes));
    }
    std::string userFile;
    std::string commonFile;
    std::string file;
};

TEST_F(ConfigFileTest, WritesTheExactBytes) {
    SetRecord("pagewren.com", "/app/", "", "ann@example.com", "password", true);
    ASSERT_TRUE(WriteConfigFile(file.c_str()));
    EXPECT_EQ("<config>\r\n\t<server host=\"pagewren.com\" directory=\"/app/\">\r\n\t\t<user>ann@example.com</user>\r\n"
              "\t</server>\r\n</config>",
              ReadFileBytes(file));
    SetRecord("pagewren.com", "/app/", "8080", "ann@example.com", "password", false);
    ASSERT_TRUE(WriteConfigFile(file.c_str()));
    EXPECT_EQ("<config>\r\n\t<server host=\"pagewren.com\" directory=\"/app/\" port=\"8080\">\r\n\t</server>\r\n</config>",
              ReadFileBytes(file));
    // Beyond the code page too, the file stays ASCII.
    SetRecord("pagewren.com", "/app/", "", "zo\xC3\xAB.\xC5\x82@x", "", true);
    ASSERT_TRUE(WriteConfigFile(file.c_str()));
    EXPECT_NE(std::string::npos, ReadFileBytes(file).find("<user>zo&#235;.&#322;@x</user>"));
    // The automatic sign-in only while it is on: unticked, the file is byte for byte as without it.
    SetRecord("pagewren.com", "/", "", "", "", false, true);
    for (bool automatic : {true, false}) {
        SetAutoSignIn(automatic);
        ASSERT_TRUE(WriteConfigFile(file.c_str()));
        EXPECT_EQ(std::string("<config>\r\n\t<server host=\"pagewren.com\" directory=\"/\" scheme=\"https\"") +
                      (automatic ? " signin=\"automatic\"" : "") + ">\r\n\t</server>\r\n</config>",
                  ReadFileBytes(file));
    }
}

BOOL WINAPI RefusingStore(PCREDENTIALW, DWORD) {
    SetLastError(ERROR_NO_SUCH_LOGON_SESSION);
    return FALSE;
}

TEST_F(ConfigFileTest, RememberedPasswordIsKeptByWindowsForItsServerAndEMailAddressAlone) {
    const std::string origin = "Pagewren:http://pages.example:80";
    const std::string hd = "host='pages.example' directory='/'";
    const std::string ann = "<user>ann@x</user>";
    const std::string oldForm = ann + "<password>FYdbhFa7/JU=</password>";
    const struct {
        const char* what;
        std::string file;
        bool keptBefore;  // "pw" kept for ann@x and the origin before the file loads
        std::function<bool()> act;
        const char* filled;  // the password Load puts in the record
        const char* keptAfter;  // "user/password" kept for the origin afterwards
    } roads[] = {
        {"remember", Server(hd), false, [] { SetUser("ann@x"), SetPassword("pw"), SetRemember(true); return Save(); },
         "", "ann@x/pw"},
        {"untick", Server(hd, ann), true, [] { SetRemember(false); return Save(); }, "pw", ""},
        {"another port", Server(hd + " port='8080'", ann), true, Save, "", "ann@x/pw"},
        {"another scheme", Server(hd + " scheme='https'", ann), true, Save, "", "ann@x/pw"},
        {"another e-mail address", Server(hd, "<user>bob@x</user>"), true, Save, "", "ann@x/pw"},
        {"letter case", Server(hd, "<user>Ann@X</user>"), true, Save, "pw", "ann@x/pw"},
        {"old file moves at the first save", Server(hd, oldForm), false, Save, "password", "ann@x/password"},
        {"refusing store", Server(hd, oldForm), false, [] { g_writeCredential = RefusingStore; return !Save(); },
         "password", ""},
        {"refused after an earlier one", Server(hd, ann), true,
         [] { SetPassword(std::string(300, 'p').c_str()), g_writeCredential = RefusingStore; return !Save(); }, "pw", ""},
        // Signing out keeps the e-mail address and the automatic sign-in.
        {"sign out", Server(hd + " signin='automatic'", ann), true, ForgetPassword, "pw", ""},
        {"sign out of an old file", Server(hd + " signin='automatic'", oldForm), false, ForgetPassword, "password", ""},
    };
    for (const auto& road : roads) {
        SCOPED_TRACE(road.what);
        FreshSettings();
        RemoveCredential(origin);
        PlaceFile(userFile, road.file);
        ASSERT_TRUE(!road.keptBefore || KeepCredential(origin, "ann@x", "pw"));
        ASSERT_TRUE(Load());
        EXPECT_STREQ(road.filled, Password());
        EXPECT_TRUE(road.act());
        g_writeCredential = nullptr;
        EXPECT_EQ(road.keptAfter, KeptCredential(origin));
        // Kept is only a password Windows kept, read at the load, and only while it is still in force.
        EXPECT_EQ(road.keptBefore && *road.filled && road.keptAfter == "ann@x/" + std::string(Password()), PasswordKept());
        const std::string saved = ReadFileBytes(userFile);
        EXPECT_EQ(std::string::npos, saved.find("<password>")) << saved;
        EXPECT_EQ(Remember(), saved.find("<user>") != std::string::npos) << saved;
        EXPECT_EQ(road.file.find("automatic") != std::string::npos, AutoSignIn() && saved.find("automatic") != saved.npos);
    }
    RemoveCredential(origin);
}

TEST_F(ConfigFileTest, ReadRules) {
    const std::string hd = "host='h' directory='/d/'";
    // A readable file, then the port, user and password read from it; a file without a port
    // keeps the one the record had.
    const std::string readable[][4] = {
        {Server(hd, "<user>u@x</user>"), "kept", "u@x", ""},
        {Server(hd + " port='8080'"), "8080", "", ""},
        {Server(hd + " scheme='https'"), "kept", "", ""},
        {Server(hd + " scheme='HTTP'"), "kept", "", ""},
        // Only "automatic" signs in at start; another value is off and fails nothing.
        {Server(hd + " signin='automatically'"), "kept", "", ""},
        {"<outer>" + Server(hd) + "</outer>", "kept", "", ""},
        {"<?xml version='1.0'?><config><x/><server " + hd + "/><server host='2' directory='/'/></config>", "kept", "", ""},
        // The e-mail address comes out as UTF-8 from references, UTF-8 bytes, or the code-page
        // bytes of earlier versions' files (code page 1252 here).
        {Server(hd, "<user>&#322;&#x5BC6;@x</user>"), "kept", "\xC5\x82\xE5\xAF\x86@x", ""},
        {"<?xml version='1.0' encoding='UTF-8'?>" + Server(hd, "<user>\xC5\x82@x</user>"), "kept", "\xC5\x82@x", ""},
        {Server(hd, "<user>z\xF6" "e@x</user>"), "kept", "z\xC3\xB6" "e@x", ""},
    };
    for (const auto& c : readable) {
        SCOPED_TRACE(c[0]);
        FreshSettings();
        lstrcpynA(g_settings.port, "kept", sizeof g_settings.port);
        // Unlike the port, the scheme and the automatic sign-in are always the file's.
        g_settings.secure = g_settings.autoSignIn = true;
        ASSERT_TRUE(WriteFileBytes(file, c[0]));
        ASSERT_TRUE(ReadConfigFile(file.c_str()));
        EXPECT_EQ(SettingsState::Initial, State());
        EXPECT_STREQ("h", Host());
        EXPECT_STREQ("/d/", Directory());
        EXPECT_EQ(c[1], Port());
        EXPECT_EQ(c[2], User());
        EXPECT_EQ(c[3], Password());
        EXPECT_EQ(!c[2].empty() || !c[3].empty(), Remember());
        EXPECT_EQ(c[0].find("'https'") != std::string::npos, Secure());
        EXPECT_EQ(c[0].find("'automatic'") != std::string::npos, AutoSignIn());
    }
    // Each with the reason the support log gives.
    const std::string unreadable[][2] = {
        {"<config><server " + hd + "></config>", "not XML"}, {"<config><other " + hd + "/></config>", "no server element"},
        {"<config><Server " + hd + "/></config>", "no server element"},
        {"<settings><server " + hd + "/></settings>", "no server element"},
        {Server("host='' directory='/d/'"), "bad value host"}, {Server("host='h'"), "bad value directory"},
        {Server(hd + " port='123456789012'"), "bad value port"}, {Server(hd + " scheme='ftp'"), "bad value scheme"},
        {Server(hd + " scheme='httpss'"), "bad value scheme"},
        {"<!DOCTYPE config [<!ENTITY h 'evil'>]><config><server host='&h;' directory='/'/></config>", "not XML"},
        {Server(hd, "<user>" + std::string(SettingsTextSize, 'u') + "</user>"), "bad value user"},
    };
    for (const auto& c : unreadable) {
        ASSERT_TRUE(WriteFileBytes(file, c[0]));
        EXPECT_FALSE(ReadConfigFile(file.c_str())) << c[0];
        EXPECT_EQ(c[1], ConfigReadFault()) << c[0];
    }
    EXPECT_FALSE(ReadConfigFile((file + ".missing").c_str()));
    EXPECT_STREQ("could not be read", ConfigReadFault());
}

TEST_F(ConfigFileTest, NothingIsWrittenUntilAChangeThenEverySaveWritesAndAFailedOneKeepsTheOldFile) {
    EXPECT_FALSE(Load());
    lstrcpynA(g_settings.port, "8080", sizeof g_settings.port);
    ResetToDefaults();
    EXPECT_STREQ("8080", Port()) << "the defaults leave the port";
    // The e-mail address compares without letter case, the password byte for byte.
    lstrcpynA(g_settings.user, "Ann@Example.com", sizeof g_settings.user);
    SetUser("ann@example.COM");
    SetPassword("");
    SetRemember(false);
    EXPECT_TRUE(Save());
    EXPECT_FALSE(PathExists(g_localFolder));

    SetPassword("secret");
    ASSERT_TRUE(Save());
    EXPECT_TRUE(PathExists(userFile));
    EXPECT_FALSE(PathExists(g_commonFolder));
    ASSERT_TRUE(DeleteFileA(userFile.c_str()));
    ASSERT_TRUE(Save());
    EXPECT_TRUE(PathExists(userFile));

    // A save that fails leaves the old file byte for byte and no unfinished one; the next tries again.
    const std::string old = ReadFileBytes(userFile);
    SetUser("bob@example.com");
    g_replaceConfigFile = FailingReplace;
    EXPECT_FALSE(Save());
    EXPECT_EQ(old, ReadFileBytes(userFile));
    EXPECT_FALSE(PathExists(userFile + ".tmp"));
    EXPECT_EQ(SettingsState::Modified, State());
}

// The all-users file, an administrator's defaults, stands in for a per-user file that cannot be
// read, which is kept as a copy; the first save takes the automatic sign-in into the user's own
// file, which then decides. The all-users file is never written nor copied.
TEST_F(ConfigFileTest, UnreadablePerUserFileIsKeptTheAllUsersOneStandsInAndAnyFolderNameLoads) {
    PlaceFile(commonFile, Server("host='common' directory='/' signin='automatic'"));
    PlaceFile(userFile, Server("host='user' directory='/'"));
    ASSERT_TRUE(Load());
    EXPECT_TRUE(lstrcmpA("user", Host()) == 0 && !AutoSignIn());

    const std::string broken = Server("host='intranet.example' directory='/' port='123456789012'");
    PlaceFile(userFile, broken);
    FreshSettings();
    ASSERT_TRUE(Load());
    EXPECT_TRUE(lstrcmpA("common", Host()) == 0 && AutoSignIn());
    EXPECT_EQ(SettingsState::Loaded, State());
    SetUser("ann@example.com");
    ASSERT_TRUE(Save());
    EXPECT_EQ(broken, ReadFileBytes(userFile + ".unreadable"));
    EXPECT_EQ(Server("host='common' directory='/' signin='automatic'"), ReadFileBytes(commonFile));
    FreshSettings();
    ASSERT_TRUE(ReadConfigFile(userFile.c_str()));
    EXPECT_TRUE(lstrcmpA("common", Host()) == 0 && AutoSignIn());

    // With both unreadable nothing loads; a later unreadable file replaces the copy.
    PlaceFile(userFile, "<config><server");
    PlaceFile(commonFile, "<config>");
    FreshSettings();
    EXPECT_FALSE(Load());
    EXPECT_EQ("<config><server", ReadFileBytes(userFile + ".unreadable"));
    EXPECT_FALSE(PathExists(commonFile + ".unreadable"));

    // The XML component would read these as URL escapes or a fragment.
    for (const char* folder : {"c%41d", "x%20y", "a#b", "with space"}) {
        g_localFolder = scratch + "\\" + folder;
        SetRecord("intranet.example", "/app/", "8080", "ann@example.com", "pw", true);
        g_settings.state = SettingsState::Modified;
        ASSERT_TRUE(Save()) << folder;
        const std::string saved = RecordText();
        FreshSettings();
        EXPECT_TRUE(Load()) << folder;
        EXPECT_EQ(saved, RecordText()) << folder;
    }
}

}  // namespace
