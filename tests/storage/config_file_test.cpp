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
    std::string file = scratch + "\\config.xml";
};

TEST_F(ConfigFileTest, WritesTheExactBytes) {
    // Beyond the code page too, the file stays ASCII; the password never goes into it.
    SetRecord("pagewren.com", "/app/", "", "zo\xC3\xAB.\xC5\x82@x", "password", true);
    ASSERT_TRUE(WriteConfigFile(file.c_str()));
    EXPECT_EQ("<config>\r\n\t<server host=\"pagewren.com\" directory=\"/app/\">\r\n\t\t<user>zo&#235;.&#322;@x</user>\r\n"
              "\t</server>\r\n</config>",
              ReadFileBytes(file));
    // The port, the scheme and the automatic sign-in only when set, as above they are not; the
    // e-mail address only when remembered.
    SetRecord("pagewren.com", "/app/", "8080", "ann@example.com", "password", false, true);
    SetAutoSignIn(true);
    ASSERT_TRUE(WriteConfigFile(file.c_str()));
    EXPECT_EQ("<config>\r\n\t<server host=\"pagewren.com\" directory=\"/app/\" port=\"8080\" scheme=\"https\" "
              "signin=\"automatic\">\r\n\t</server>\r\n</config>",
              ReadFileBytes(file));
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
        {"untick", Server(hd, ann), true, [] { SetRemember(false); return Save(); }, "pw", ""},
        {"another scheme", Server(hd + " scheme='https'", ann), true, Save, "", "ann@x/pw"},
        {"another e-mail address", Server(hd, "<user>bob@x</user>"), true, Save, "", "ann@x/pw"},
        {"letter case", Server(hd, "<user>Ann@X</user>"), true, Save, "pw", "ann@x/pw"},
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
    // A file, with the reason the support log gives when it is unreadable, and the e-mail address
    // read from it.
    const struct {
        std::string bytes;
        const char* fault = "";
        const char* user = "";
    } files[] = {
        {Server(hd + " scheme='HTTP'")},
        // Only "automatic" signs in at start; another value is off and fails nothing.
        {Server(hd + " signin='automatically'")},
        {"<outer>" + Server(hd) + "</outer>"},
        {"<?xml version='1.0'?><config><x/><server " + hd + "/><server host='2' directory='/'/></config>"},
        // The e-mail address comes out as UTF-8 from references, UTF-8 bytes, or the code-page
        // bytes of earlier versions' files (code page 1252 here).
        {Server(hd, "<user>&#322;&#x5BC6;@x</user>"), "", "\xC5\x82\xE5\xAF\x86@x"},
        {"<?xml version='1.0' encoding='UTF-8'?>" + Server(hd, "<user>\xC5\x82@x</user>"), "", "\xC5\x82@x"},
        {Server(hd, "<user>z\xF6" "e@x</user>"), "", "z\xC3\xB6" "e@x"},
        {"<config><server " + hd + "></config>", "not XML"}, {"<config><other " + hd + "/></config>", "no server element"},
        {"<config><Server " + hd + "/></config>", "no server element"},
        {"<settings><server " + hd + "/></settings>", "no server element"},
        {Server("host='' directory='/d/'"), "bad value host"}, {Server("host='h'"), "bad value directory"},
        {Server(hd + " port='123456789012'"), "bad value port"}, {Server(hd + " scheme='ftp'"), "bad value scheme"},
        {Server(hd + " scheme='httpss'"), "bad value scheme"},
        {"<!DOCTYPE config [<!ENTITY h 'evil'>]><config><server host='&h;' directory='/'/></config>", "not XML"},
        {Server(hd, "<user>" + std::string(SettingsTextSize, 'u') + "</user>"), "bad value user"},
    };
    for (const auto& c : files) {
        SCOPED_TRACE(c.bytes);
        FreshSettings();
        lstrcpynA(g_settings.port, "kept", sizeof g_settings.port);
        // Unlike the port, the scheme and the automatic sign-in are always the file's.
        g_settings.secure = g_settings.autoSignIn = true;
        ASSERT_TRUE(WriteFileBytes(file, c.bytes));
        EXPECT_EQ(!*c.fault, ReadConfigFile(file.c_str()));
        EXPECT_STREQ(c.fault, ConfigReadFault());
        if (*c.fault) continue;
        EXPECT_STREQ("h", Host());
        EXPECT_STREQ("kept", Port());
        EXPECT_STREQ(c.user, User());
        EXPECT_EQ(*c.user != '\0', Remember());
        EXPECT_FALSE(Secure());
        EXPECT_FALSE(AutoSignIn());
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
    ASSERT_TRUE(DeleteFileA(userFile.c_str()));
    ASSERT_TRUE(Save());
    EXPECT_TRUE(PathExists(userFile));

    // A save that fails leaves the old file byte for byte and no unfinished one; the next tries again.
    const std::string old = ReadFileBytes(userFile);
    SetAutoSignIn(true);
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
    const std::string commonFile = g_commonFolder + "\\Pagewren\\config.xml";
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
    ASSERT_TRUE(ReadConfigFile(userFile.c_str()));
    EXPECT_TRUE(lstrcmpA("common", Host()) == 0 && AutoSignIn());

    // With both unreadable nothing loads; a later unreadable file replaces the copy.
    PlaceFile(userFile, "<config><server");
    PlaceFile(commonFile, "<config>");
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
