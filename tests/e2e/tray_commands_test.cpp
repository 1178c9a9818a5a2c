// Pagewren.exe under Wine: what the tray icon's commands do in the running program.
#include "e2e/e2e_fixture.h"

#include "res/resource.h"
#include "storage/credential_cipher.h"

#include <stdio.h>

#include <string>

namespace {

const UINT kTrayMessage = WM_USER + 100;
const UINT kTrayIconId = 100;

// Addresses that the program asks the browser to open, one a line.
struct BrowserCapture {
    // Under Wine, ShellExecute hands web addresses to the commands listed in this value;
    // this one appends the address to a file instead of starting a browser.
    bool Start() {
        char unixPath[64];
        (void)snprintf(unixPath, sizeof unixPath, "/tmp/pagewren-e2e-urls-%lu.txt", GetCurrentProcessId());
        path = std::string("Z:") + unixPath;
        for (char& c : path)
            if (c == '/') c = '\\';
        (void)DeleteFileA(path.c_str());
        std::string command = std::string("/bin/sh -c \"printf '%s\\n' \\\"$0\\\" >> ") + unixPath + "\"";
        command.push_back('\0');  // REG_MULTI_SZ ends with an empty string
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            return false;
        LONG result = RegSetValueExA(key, "Browsers", 0, REG_MULTI_SZ,
                                     reinterpret_cast<const BYTE*>(command.c_str()), static_cast<DWORD>(command.size() + 1));
        (void)RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }
    // The addresses captured so far.
    std::string Addresses() const {
        std::string text;
        return ReadWholeFile(path, &text) ? text : std::string();
    }
    ~BrowserCapture() { (void)DeleteFileA(path.c_str()); }

    std::string path;
};

std::string Encrypted(const char* password) {
    char stored[CredentialTextSize] = {};
    EXPECT_TRUE(EncryptCredential(password, stored));
    return stored;
}

struct TrayCommandTest : ProgramTest {
    // Starts the program with remembered credentials and signs in through the dialog.
    void SignIn() {
        ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort(), kDemoEmail, Encrypted(kDemoPassword).c_str())));
        HWND dialog = LaunchAndWaitForSignIn();
        ASSERT_NE(nullptr, dialog);
        PressEnter(dialog, IDC_PASSWORD);
        ASSERT_TRUE(WaitForTrayTip("Pagewren - Signed In"));
    }
};

TEST_F(TrayCommandTest, DoubleClickAndViewAllPagesOpenTheTokenAddresses) {
    BrowserCapture browser;
    ASSERT_TRUE(browser.Start());
    SignIn();
    HWND main = FindMainWindow();
    ASSERT_NE(nullptr, main);

    (void)PostMessageA(main, kTrayMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return !browser.Addresses().empty(); }, kStepTimeoutMs));
    (void)PostMessageA(main, WM_COMMAND, ID_VIEW_ALL_PAGES, 0);
    ASSERT_TRUE(WaitUntil([&] { return browser.Addresses().find("&action=2") != std::string::npos; }, kStepTimeoutMs));

    std::string prefix = "http://127.0.0.1:" + TestServerPortText() + "/tray.php?token=";
    std::string addresses = browser.Addresses();
    size_t firstEnd = addresses.find('\n');
    ASSERT_NE(std::string::npos, firstEnd);
    std::string current = addresses.substr(0, firstEnd);
    std::string all = addresses.substr(firstEnd + 1, addresses.find('\n', firstEnd + 1) - firstEnd - 1);
    ASSERT_EQ(0u, current.rfind(prefix, 0)) << current;
    std::string token = current.substr(prefix.size(), current.size() - prefix.size() - std::string("&action=3").size());
    EXPECT_FALSE(token.empty());
    EXPECT_EQ(prefix + token + "&action=3", current);
    EXPECT_EQ(prefix + token + "&action=2", all);
}

TEST_F(TrayCommandTest, ShellRestartBringsTheIconBackWithItsLook) {
    SignIn();
    size_t adds = 0;
    for (const TrayCall& call : TrayCalls()) adds += call.operation == NIM_ADD;
    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_NE(0u, taskbarCreated);
    DWORD_PTR ignored = 0;
    (void)SendMessageTimeoutA(HWND_BROADCAST, taskbarCreated, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    ASSERT_TRUE(WaitUntil([&] {
        size_t now = 0;
        for (const TrayCall& call : TrayCalls()) now += call.operation == NIM_ADD;
        return now > adds;
    }, kStepTimeoutMs));
    EXPECT_EQ("Pagewren - Signed In", CurrentTrayTip());
    EXPECT_EQ(kTrayMessage, TrayCalls().back().callbackMessage);
}

TEST_F(TrayCommandTest, ExitWhileAWorkerWaitsEndsWithCodeZeroAndRemovesTheIcon) {
    ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=hang"));
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort())));
    ASSERT_TRUE(LaunchProgram(&program));
    ASSERT_TRUE(WaitUntil([] { return !ServerLog().empty(); }, kStepTimeoutMs));
    EXPECT_EQ("Pagewren - Signing In...", CurrentTrayTip());

    HWND main = FindMainWindow();
    ASSERT_NE(nullptr, main);
    (void)PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(0u, WaitForProgramExit(program, kStepTimeoutMs));
    EXPECT_TRUE(TrayIconRemoved());
    ASSERT_TRUE(ControlServer("reset"));
}

}  // namespace
