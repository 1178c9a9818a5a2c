#include "storage/config_file.h"

#include "storage/credential_cipher.h"
#include "storage/settings.h"
#include "storage/storage_paths.h"
#include "storage_test_support.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace {

std::string g_localFolder;
std::string g_commonFolder;
DWORD g_replaceError = 0;

HRESULT WINAPI ScratchFolderPath(HWND, int folder, HANDLE, DWORD, LPSTR path) {
    const std::string& chosen = folder == CSIDL_LOCAL_APPDATA ? g_localFolder : g_commonFolder;
    lstrcpynA(path, chosen.c_str(), MAX_PATH);
    return S_OK;
}

DWORD WINAPI NtVersion() { return 0x0A000006; }

BOOL WINAPI FailingReplace(LPCSTR, LPCSTR, DWORD) {
    SetLastError(g_replaceError);
    return FALSE;
}

void SetText(char* field, size_t size, const std::string& text) { lstrcpynA(field, text.c_str(), static_cast<int>(size)); }

void SetRecord(const std::string& host, const std::string& directory, const std::string& port, const std::string& user,
               const std::string& password, bool remember) {
    SetText(g_settings.host, sizeof g_settings.host, host);
    SetText(g_settings.directory, sizeof g_settings.directory, directory);
    SetText(g_settings.port, sizeof g_settings.port, port);
    SetText(g_settings.user, sizeof g_settings.user, user);
    SetText(g_settings.password, sizeof g_settings.password, password);
    g_settings.remember = remember;
}

struct ConfigFileTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_FALSE(scratch.path.empty());
        g_localFolder = scratch.path + "\\local";
        g_commonFolder = scratch.path + "\\common";
        savedPlatform = g_storagePlatform;
        g_storagePlatform = {NtVersion, ScratchFolderPath};
        savedReplace = g_replaceConfigFile;
        userFile = g_localFolder + "\\Pagewren\\config.xml";
        commonFile = g_commonFolder + "\\Pagewren\\config.xml";
        file = scratch.path + "\\config.xml";
        FreshSettings();
    }
    void TearDown() override {
        g_storagePlatform = savedPlatform;
        g_replaceConfigFile = savedReplace;
        CoUninitialize();
    }

    // Puts a configuration file at path, creating its folders.
    void PlaceFile(const std::string& path, const std::string& bytes) {
        std::string folder = path.substr(0, path.rfind('\\'));
        ASSERT_TRUE(CreateFolderPath(folder.c_str()));
        ASSERT_TRUE(WriteFileBytes(path, bytes));
    }

    ScratchFolder scratch;
    StoragePlatform savedPlatform;
    BOOL(WINAPI* savedReplace)(LPCSTR, LPCSTR, DWORD);
    std::string userFile;
    std::string commonFile;
    std::string file;
};

// A file holding only a server element with the given host.
std::string ServerFile(const std::string& host) {
    return "<config><server host=\"" + host + "\" directory=\"/d/\"/></config>";
}

TEST_F(ConfigFileTest, RememberedRecordIsWrittenByteForByte) {
    SetRecord("pagewren.com", "/app/", "", "ann@example.com", "password", true);
    ASSERT_TRUE(WriteConfigFile(file.c_str()));
    EXPECT_EQ("<config>\r\n"
              "\t<server host=\"pagewren.com\" directory=\"/app/\">\r\n"
              "\t\t<user>ann@example.com</user>\r\n"
              "\t\t<password>FYdbhFa7/JU=</password>\r\n"
              "\t</server>\r\n"
              "</config>",
              ReadFileBytes(file));
}

TEST_F(ConfigFileTest, RecordNotRememberedKeepsNoCredentials) {
    SetRecord("pagewren.com", "/", "", "ann@example.com", "password", false);
    ASSERT_TRUE(WriteConfigFile(file.c_str()));
    EXPECT_EQ("<config>\r\n\t<server host=\"pagewren.com\" directory=\"/\">\r\n\t</server>\r\n</config>",
              ReadFileBytes(file));
}

TEST_F(ConfigFileTest, EmptyCredentialsAndAPortAreWritten) {
    SetRecord("h", "/", "8080", "", "", true);
    ASSERT_TRUE(WriteConfigFile(file.c_str()));
    EXPECT_EQ("<config>\r\n\t<server host=\"h\" directory=\"/\" port=\"8080\">\r\n"
              "\t\t<user></user>\r\n\t\t<password></password>\r\n\t</server>\r\n</config>",
              ReadFileBytes(file));
    EXPECT_FALSE(WriteConfigFile(nullptr));
}

TEST_F(ConfigFileTest, ReservedAndNonAsciiCharactersAreReferences) {
    SetRecord("a&b<c>d\"e'f", "/d/", "", "\xE9t\xE9", "", true);
    ASSERT_TRUE(WriteConfigFile(file.c_str()));
    std::string bytes = ReadFileBytes(file);
    EXPECT_NE(std::string::npos, bytes.find("host=\"a&amp;b&lt;c&gt;d&quot;e'f\""));
    for (char c : bytes) EXPECT_EQ(0, c & 0x80) << "the file stays ASCII";
    if (GetACP() == 1252) {
        EXPECT_NE(std::string::npos, bytes.find("<user>&#233;t&#233;</user>"));
    }
}

TEST_F(ConfigFileTest, WrittenRecordsReadBackExactly) {
    struct Case {
        const char* host;
        const char* directory;
        const char* port;
        const char* user;
        const char* password;
        bool remember;
    } cases[] = {
        {"pagewren.com", "/", "", "ann@example.com", "password", true},
        {"pagewren.com", "/", "", "", "", true},
        {"localhost", "/srv/app/", "8080", "bob@example.com", "P&ss<w>rd\"'", true},
        {"h&<>\"", "/a b&c/", "", "x&y@<z>.com", "Gr\xFC\xDF" "e \xE9\xE8", true},
        {"host", "/tab\there/", "1", " line\r\nbreak\t", "  spaced  ", true},
        {"host", "/", "65535", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host + std::string(" ") + c.user);
        FreshSettings();
        SetRecord(c.host, c.directory, c.port, c.user, c.password, c.remember);
        ASSERT_TRUE(WriteConfigFile(file.c_str()));
        FreshSettings();
        ASSERT_TRUE(ReadConfigFile(file.c_str()));
        EXPECT_STREQ(c.host, Host());
        EXPECT_STREQ(c.directory, Directory());
        EXPECT_STREQ(c.port, Port());
        EXPECT_STREQ(c.remember ? c.user : "", User());
        EXPECT_STREQ(c.remember ? c.password : "", Password());
        EXPECT_EQ(c.remember, Remember());
        EXPECT_EQ(SettingsState::Initial, State());
    }
}

TEST_F(ConfigFileTest, TextThatXmlCannotCarryIsNotWritten) {
    ASSERT_TRUE(WriteFileBytes(file, "old"));
    SetRecord("host", "/", "", "bell\x07", "", true);
    EXPECT_FALSE(WriteConfigFile(file.c_str()));
    EXPECT_EQ("old", ReadFileBytes(file));
}

TEST_F(ConfigFileTest, PasswordOverTheCipherLimitIsLeftOut) {
    SetRecord("h", "/", "", "u", std::string(CredentialMaxPlainBytes + 1, 'p'), true);
    ASSERT_TRUE(WriteConfigFile(file.c_str()));
    EXPECT_EQ(std::string::npos, ReadFileBytes(file).find("<password>"));
}

TEST_F(ConfigFileTest, ReadRules) {
    const std::string longText(SettingsTextSize, 'x');
    struct Case {
        const char* name;
        std::string bytes;
        bool read;
        const char* host;
        const char* port;
        const char* user;
        const char* password;
        bool remember;
    } cases[] = {
        {"plain", ServerFile("h"), true, "h", "", "", "", false},
        {"with credentials",
         "<config><server host='h' directory='/d/'><user>u@x</user><password>FYdbhFa7/JU=</password></server></config>",
         true, "h", "", "u@x", "password", true},
        {"user only", "<config><server host='h' directory='/d/'><user>u@x</user></server></config>", true, "h", "", "u@x",
         "", true},
        {"password only", "<config><server host='h' directory='/d/'><password>FYdbhFa7/JU=</password></server></config>",
         true, "h", "", "", "password", true},
        {"port", "<config><server host='h' directory='/d/' port='8080'/></config>", true, "h", "8080", "", "", false},
        {"nested config", "<outer><config><server host='h' directory='/d/'/></config></outer>", true, "h", "", "", "", false},
        {"extra content", "<?xml version='1.0'?>\r\n<config a='1'><x/><server z='' directory='/d/' host='h'>\n<y/></server><server host='second' directory='/'/></config>",
         true, "h", "", "", "", false},
        {"empty", "", false, "", "", "", "", false},
        {"malformed", "<config><server host='h' directory='/d/'></config>", false, "", "", "", "", false},
        {"no server", "<config><other host='h' directory='/d/'/></config>", false, "", "", "", "", false},
        {"capital Server", "<config><Server host='h' directory='/d/'/></config>", false, "", "", "", "", false},
        {"root not config", "<settings><server host='h' directory='/d/'/></settings>", false, "", "", "", "", false},
        {"empty host", "<config><server host='' directory='/d/'/></config>", false, "", "", "", "", false},
        {"no host", "<config><server directory='/d/'/></config>", false, "", "", "", "", false},
        {"no directory", "<config><server host='h'/></config>", false, "h", "", "", "", false},
        {"empty port", "<config><server host='h' directory='/d/' port=''/></config>", false, "h", "", "", "", false},
        {"port too long", "<config><server host='h' directory='/d/' port='123456789012'/></config>", false, "h", "", "", "",
         false},
        {"host too long", "<config><server host='" + longText + "' directory='/d/'/></config>", false, "", "", "", "",
         false},
        {"user too long", "<config><server host='h' directory='/d/'><user>" + longText + "</user></server></config>",
         false, "h", "", "", "", false},
        {"password too long",
         "<config><server host='h' directory='/d/'><password>" + longText + "</password></server></config>", false, "h",
         "", "", "", false},
        {"document type", "<!DOCTYPE config [<!ENTITY h 'evil'>]><config><server host='&h;' directory='/'/></config>",
         false, "", "", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshSettings();
        ASSERT_TRUE(WriteFileBytes(file, c.bytes));
        EXPECT_EQ(c.read, ReadConfigFile(file.c_str()));
        EXPECT_STREQ(c.host, Host());
        EXPECT_STREQ(c.port, Port());
        if (c.read) {
            EXPECT_STREQ("/d/", Directory());
            EXPECT_STREQ(c.user, User());
            EXPECT_STREQ(c.password, Password());
            EXPECT_EQ(c.remember, Remember());
        }
        EXPECT_EQ(SettingsState::Initial, State());
    }
}

TEST_F(ConfigFileTest, ReadKeepsPortAndRememberUnlessTheFileSetsThem) {
    SetRecord("old", "/old/", "8080", "old user", "old password", true);
    EXPECT_FALSE(ReadConfigFile((scratch.path + "\\missing.xml").c_str()));
    EXPECT_STREQ("", User());
    EXPECT_STREQ("", Password());
    EXPECT_STREQ("8080", Port());

    ASSERT_TRUE(WriteFileBytes(file, "<config><server host='h' directory='/d/' port='99'><user>" +
                                         std::string(SettingsTextSize, 'u') + "</user></server></config>"));
    EXPECT_FALSE(ReadConfigFile(file.c_str()));
    EXPECT_STREQ("8080", Port()) << "a failed read leaves the port alone";

    ASSERT_TRUE(WriteFileBytes(file, ServerFile("h")));
    EXPECT_TRUE(ReadConfigFile(file.c_str()));
    EXPECT_STREQ("8080", Port());
    EXPECT_TRUE(Remember());
    EXPECT_FALSE(ReadConfigFile(nullptr));
}

TEST_F(ConfigFileTest, LoadPrefersThePerUserFile) {
    PlaceFile(userFile, ServerFile("user-host"));
    PlaceFile(commonFile, ServerFile("common-host"));
    ASSERT_TRUE(Load());
    EXPECT_STREQ("user-host", Host());
    EXPECT_EQ(SettingsState::Loaded, State());
}

TEST_F(ConfigFileTest, LoadFallsBackToTheAllUsersFileAndSaveWritesOnlyThePerUserOne) {
    PlaceFile(userFile, "<config><server host='user-host'/></config>");
    PlaceFile(commonFile, ServerFile("common-host"));
    ASSERT_TRUE(Load());
    EXPECT_STREQ("common-host", Host());
    EXPECT_EQ(SettingsState::Loaded, State());

    ASSERT_TRUE(Save()) << "nothing changed, nothing to write";
    EXPECT_EQ("<config><server host='user-host'/></config>", ReadFileBytes(userFile));

    SetUser("ann@example.com");
    SetRemember(true);
    ASSERT_TRUE(Save());
    EXPECT_EQ(ServerFile("common-host"), ReadFileBytes(commonFile));
    FreshSettings();
    ASSERT_TRUE(ReadConfigFile(userFile.c_str()));
    EXPECT_STREQ("common-host", Host());
    EXPECT_STREQ("ann@example.com", User());
}

TEST_F(ConfigFileTest, FirstStartFindsNothingAndWritesNothingUntilAChange) {
    EXPECT_FALSE(Load());
    EXPECT_EQ(SettingsState::Initial, State());
    ResetToDefaults();
    EXPECT_TRUE(Save());
    EXPECT_FALSE(PathExists(g_localFolder));

    SetPassword("secret");
    ASSERT_TRUE(Save());
    EXPECT_TRUE(PathExists(userFile));
    EXPECT_FALSE(PathExists(g_commonFolder));
    EXPECT_EQ(SettingsState::Modified, State());

    ASSERT_TRUE(DeleteFileA(userFile.c_str()));
    ASSERT_TRUE(Save()) << "every save after a change writes";
    EXPECT_TRUE(PathExists(userFile));
}

TEST_F(ConfigFileTest, FailedSaveLeavesTheOldFileByteForByte) {
    const std::string old = "<config>\r\n\t<server host=\"old\" directory=\"/\">\r\n\t</server>\r\n</config>";
    PlaceFile(userFile, old);
    ResetToDefaults();
    SetUser("ann@example.com");
    SetRemember(true);

    g_replaceConfigFile = FailingReplace;
    g_replaceError = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(Save());
    EXPECT_EQ(old, ReadFileBytes(userFile));
    EXPECT_FALSE(PathExists(userFile + ".tmp")) << "the unfinished file is removed";

    g_replaceConfigFile = savedReplace;
    ASSERT_TRUE(Save());
    EXPECT_NE(std::string::npos, ReadFileBytes(userFile).find("<user>ann@example.com</user>"));
    EXPECT_FALSE(PathExists(userFile + ".tmp"));
}

TEST_F(ConfigFileTest, SaveFailsWhenTheFolderCannotBeMade) {
    ASSERT_TRUE(WriteFileBytes(g_localFolder, "a file where the data folder belongs"));
    SetUser("ann@example.com");
    EXPECT_FALSE(Save());
    EXPECT_EQ(SettingsState::Modified, State());
}

}  // namespace
