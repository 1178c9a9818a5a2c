// Pagewren.exe under Wine against the reference server: the road of a sign-in, the refresh by
// the real timer and the traces it leaves, the dialog's own refusals, and what the running
// program does from outside.
#include "e2e/e2e_fixture.h"

#include "res/default_server.h"
#include "res/resource.h"
#include "support/files.h"
#include "support/kept_credentials.h"
#include "support/proxy_control.h"
#include "support/texts.h"

#include <shlobj.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Whether the shell took each add, oldest first.
std::vector<bool> TrayAdds() {
    std::vector<bool> adds;
    for (const TrayCall& call : TrayCalls())
        if (call.operation == NIM_ADD) adds.push_back(call.accepted);
    return adds;
}

// The files that hold any of the texts (one a line): those under the user's cache, cookie,
// history and local application-data folders, at the top of the profile, and under Wine the
// registry's own files.
std::vector<std::string> FilesHolding(const std::string& texts) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    // Wine links some profile folders to the Unix home without marking them as links, so the
    // whole profile is not walked.
    for (int csidl : {CSIDL_INTERNET_CACHE, CSIDL_COOKIES, CSIDL_HISTORY, CSIDL_LOCAL_APPDATA})
        for (auto it = std::filesystem::recursive_directory_iterator(KnownFolder(csidl), error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
            files.push_back(it->path());
    std::vector<std::string> tops = {KnownFolder(CSIDL_PROFILE)};
    // Windows' hives are locked while the user is signed in; Wine keeps them as text files at the
    // top of its prefix, shown as drive Z:.
    if (const char* prefix = getenv("WINEPREFIX")) tops.push_back(std::string("Z:") + prefix);
    for (const std::string& top : tops)
        for (const auto& entry : std::filesystem::directory_iterator(top, error)) files.push_back(entry.path());
    std::vector<std::string> found;
    for (const std::filesystem::path& file : files) {
        const std::string bytes = std::filesystem::is_regular_file(file, error) ? ReadFileBytes(file.string()) : "";
        std::istringstream lines(texts);
        for (std::string text; std::getline(lines, text);)
            if (!text.empty() && bytes.find(text) != std::string::npos) found.push_back(file.string());
    }
    return found;
}

TEST_F(ProgramTest, SignsInThroughThePrefilledDialogAndRefreshesLeavingNoTokenOnDisk) {
    ASSERT_TRUE(ControlServer("lifetime?seconds=303"));
    HWND dialog = LaunchWithDemoAccount();
    ASSERT_NE(nullptr, dialog);
    // Wine hands a password field's text to another process; Windows would not.
    EXPECT_EQ(std::string(kDemoEmail) + kDemoPassword, ControlText(dialog, IDC_EMAIL) + ControlText(dialog, IDC_PASSWORD));
    EXPECT_EQ(BST_CHECKED, SendMessageA(GetDlgItem(dialog, IDC_REMEMBER), BM_GETCHECK, 0, 0));
    ASSERT_GE(TrayCalls().size(), 2u);
    EXPECT_EQ(kNotSignedIn, TrayCalls()[0].tip);
    EXPECT_EQ(kSigningIn, CurrentTrayTip());

    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitForTrayTip(kSignedIn));
    // The password of an earlier version's file leaves it at the first sign-in, for Windows to keep.
    EXPECT_EQ(std::string::npos, ReadFileBytes(UserConfigPath()).find("<password>"));
    EXPECT_EQ(std::string(kDemoEmail) + "/" + kDemoPassword, KeptCredential(TestServerOrigin()));
    // A lifetime of five minutes and three seconds arms the refresh three seconds after the sign-in.
    ASSERT_TRUE(WaitUntil([] {
        std::vector<LoggedRequest> log = ServerLog();
        return log.size() > 4 && log.back().auth == kDemoEmail && log.back().path.find("/tray.php") == 0;
    }, kStepTimeoutMs));
    // The check without credentials; the dialog's check, answering the challenge; the sign-in,
    // with the credentials from the start; then the refresh with the 32-character token.
    std::vector<LoggedRequest> log = ServerLog();
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(i < 2 ? "-" : kDemoEmail, log[i].auth) << i;
        EXPECT_EQ("GET /auth-tray.php Pagewren 0",
                  log[i].method + " " + log[i].path + " " + log[i].userAgent + " " + log[i].bodyLength) << i;
    }
    EXPECT_EQ(57u, log.back().path.size()) << log.back().path;
    EXPECT_EQ(48u, log.back().path.find("&action=1")) << log.back().path;
    // The server answers an unknown token with an error, which would show a box.
    EXPECT_TRUE(WaitForTrayTip(kSignedIn));
    EXPECT_EQ(nullptr, FindMessageBox());

    // Asked to show itself the hidden window stays hidden; a restarted shell gets the icon back.
    HWND main = FindMainWindow();
    (void)ShowWindow(main, SW_SHOWNORMAL);
    EXPECT_FALSE(IsWindowVisible(main));
    const size_t adds = TrayAdds().size();
    DWORD_PTR ignored = 0;
    (void)SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                              &ignored);
    ASSERT_TRUE(WaitUntil([&] { return TrayAdds().size() > adds; }, kStepTimeoutMs));
    EXPECT_EQ(kSignedIn, CurrentTrayTip());
    EXPECT_EQ(UINT(WM_USER + 100), TrayCalls()[TrayCalls().size() - 2].callbackMessage) << "the add before the version";

    // The session leaves nothing behind that would open the user's pages, nor the password in
    // either form.
    StopProgram(program);
    std::string tokens;
    ASSERT_TRUE(ControlServer("tokens", &tokens));
    EXPECT_FALSE(tokens.empty());
    EXPECT_EQ(std::vector<std::string>(), FilesHolding(tokens + "\n" + kDemoPassword + "\n" + kDemoPasswordOldForm));
}

// The dialog's own refusals, then what the system code page (1252 here) lacks: typed as UTF-16,
// sent as UTF-8 (the reference server reads that after a reset), kept and shown again after a
// restart, never on disk nor in the support log; and a server's UTF-8 error text shown whole in
// the box.
TEST_F(ProgramTest, DialogRefusesThenTextBeyondTheCodePageReachesTheServerTheNextStartAndTheBoxWhole) {
    const std::string email = u8"zoë.łukasz@pagewren.test", password = u8"Grüße-ł€ 密码";
    ASSERT_TRUE(ControlServer("account?email=" + HexBytes(email, "%") + "&password=" + HexBytes(password, "%")));
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort())));
    HWND dialog = LaunchAndWaitForSignIn();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("", ControlText(dialog, IDC_EMAIL));
    SetControlText(dialog, IDC_EMAIL, email.c_str());
    SetControlText(dialog, IDC_PASSWORD, "wrong");
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitUntil([&] { return ControlVisible(dialog, IDC_ERROR_LABEL); }, kStepTimeoutMs));
    EXPECT_EQ("Invalid e-mail address or password", ControlText(dialog, IDC_ERROR_LABEL));

    size_t requestsBefore = ServerLog().size();
    SetControlText(dialog, IDC_EMAIL, "");
    PressEnter(dialog, IDC_EMAIL);
    ASSERT_TRUE(WaitUntil([&] { return ControlText(dialog, IDC_ERROR_LABEL) == "An e-mail address is required"; },
                          kStepTimeoutMs));
    EXPECT_EQ(requestsBefore, ServerLog().size()) << "an empty e-mail address must not reach the server";

    SetControlText(dialog, IDC_EMAIL, email.c_str());
    SetControlText(dialog, IDC_PASSWORD, password.c_str());
    (void)SendMessageA(GetDlgItem(dialog, IDC_REMEMBER), BM_SETCHECK, BST_CHECKED, 0);
    PressEnter(dialog, IDC_PASSWORD);
    // The server check before the dialog is always in the log; the last request is the sign-in.
    ASSERT_TRUE(WaitForTrayTip(kSignedIn));
    EXPECT_EQ(HexBytes(email + ":" + password), ServerLog().back().credentials);

    // The next start fills in the e-mail address from the file and the password Windows kept.
    StopProgram(program);
    ASSERT_NE(nullptr, dialog = LaunchAndWaitForSignIn());
    // Wine hands a password field's text to another process; Windows would not.
    EXPECT_EQ(email + "|" + password, ControlText(dialog, IDC_EMAIL) + "|" + ControlText(dialog, IDC_PASSWORD));

    const std::string description = u8"Wartung bis 12 Uhr – später erneut (Łódź) 密码";
    ASSERT_TRUE(ControlServer("charset?answers=utf-8"));
    ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=error&description=" + HexBytes(description, "%")));
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitUntil([&] { return FindMessageBox() != nullptr; }, kStepTimeoutMs));
    // The fixture finds the box's text in the support log as well, and shows the log if not.
    EXPECT_NE(std::string::npos, ControlText(FindMessageBox(), 0xFFFF).find(description));
    EXPECT_EQ(std::vector<std::string>(), FilesHolding(password));
    for (const std::string& secret : {email, password}) EXPECT_EQ(std::string::npos, SupportLog().find(secret)) << secret;
}

// Under a German display language the program speaks German: the dialog, the error line of a
// wrong password and the tray tooltip. ctest runs it as e2e_tests_german with LANG=de_DE.UTF-8,
// which Wine takes the language from when a process starts; its programs inherit it.
TEST_F(ProgramTest, GermanDisplayLanguageGivesGermanDialogErrorLineAndTooltip) {
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) != LANG_GERMAN) GTEST_SKIP() << "not a German display language";
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort())));
    HWND dialog = LaunchAndWaitForSignIn();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Bei Pagewren anmelden|Anmelden", ControlText(dialog, IDC_HEADING) + "|" + ControlText(dialog, IDOK));
    EXPECT_EQ(u8"Pagewren - Anmeldung läuft...", CurrentTrayTip());
    SetControlText(dialog, IDC_EMAIL, kDemoEmail);
    SetControlText(dialog, IDC_PASSWORD, "wrong");
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitUntil([&] { return ControlVisible(dialog, IDC_ERROR_LABEL); }, kStepTimeoutMs));
    EXPECT_EQ(u8"Ungültige E-Mail-Adresse oder ungültiges Kennwort", ControlText(dialog, IDC_ERROR_LABEL));
}

// The icon refused by a shell still starting appears once the shell takes it; a second copy and
// the Exit command during a held answer end with code zero.
TEST_F(ProgramTest, IconRefusedAtFirstAppearsAndSecondCopyAndExitDuringAHeldAnswerEndWithCodeZero) {
    RefuseTrayAdds(2);
    ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=hang"));
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort())));
    ASSERT_TRUE(LaunchProgram(&program));
    ASSERT_TRUE(WaitUntil([] { return !ServerLog().empty(); }, kStepTimeoutMs));
    EXPECT_TRUE(WaitUntil([] { return TrayAdds().size() == 3; }, kStepTimeoutMs));
    EXPECT_EQ((std::vector<bool>{false, false, true}), TrayAdds());
    EXPECT_NE("", CurrentTrayTip());

    ProgramRun second;
    ASSERT_TRUE(LaunchProgram(&second));
    EXPECT_EQ(0u, WaitForProgramExit(second, kStepTimeoutMs));
    CloseProcessHandles(second);
    EXPECT_EQ(1u, ServerLog().size()) << "the second copy must not contact the server";

    (void)PostMessageA(FindMainWindow(), WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(0u, WaitForProgramExit(program, kStepTimeoutMs));
    EXPECT_TRUE(TrayIconRemoved());
    ASSERT_TRUE(ControlServer("reset"));
}

// A server certificate that does not verify is told by a notification, since the check at
// start-up runs in the background. An unreadable per-user config.xml is told before any sign-in,
// with the copy kept of it and the server used meanwhile. The fixture checks the support log.
TEST_F(ProgramTest, UnverifiedCertificateAndUnreadableSettingsAreToldBeforeAnySignIn) {
    const int port = StartTlsListener("untrusted");
    ASSERT_NE(0, port);
    ASSERT_TRUE(WriteUserConfig("<config><server host=\"localhost\" directory=\"/\" scheme=\"https\" port=\"" +
                                std::to_string(port) + "\"/></config>"));
    ASSERT_TRUE(LaunchProgram(&program));
    EXPECT_TRUE(WaitUntil([] { return LastNotification().info == kIdentityUnverified; }, kStepTimeoutMs));
    StopProgram(program);

    ASSERT_TRUE(WriteUserConfig("<config><server host='intranet.example' directory='/' port='123456789012'/></config>"));
    ASSERT_TRUE(LaunchProgram(&program));
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox()) != nullptr; }, kStepTimeoutMs));
    EXPECT_EQ("Pagewren could not read your settings file. A copy of it was kept as\r\n" + UserConfigPath() +
                  ".unreadable\r\nUntil you mend the copy and rename it back to config.xml, Pagewren uses the "
                  "server\r\nhttp://" DEFAULT_SERVER_HOST "/",
              ControlText(box, 0xFFFF));
    EXPECT_TRUE(ServerLog().empty()) << "nothing is sent before the box is closed";
    (void)DeleteFileA((UserConfigPath() + ".unreadable").c_str());
}

// Behind a proxy that asks for its own sign-in: the user is told so, gives the proxy's
// credentials in Windows' prompt (ids of Wine's, as Windows'), and the program signs in through
// it; the next start passes the proxy with the credentials Windows kept, without asking. The
// proxy is the one a configuration script names (localhost), not the one the settings list.
TEST_F(ProgramTest, SignsInBehindAProxyThatAsksAndKeepsItsCredentials) {
    ProxyInUse proxy;
    ASSERT_NE(0, proxy.port);
    ASSERT_TRUE(UseProxyScript("http://127.0.0.1:" + std::to_string(TestServerPort()) +
                                   "/_control/proxy.pac?proxy=localhost:" + std::to_string(proxy.port), proxy.port));
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort(), kDemoEmail, kDemoPasswordOldForm)));
    ASSERT_TRUE(LaunchProgram(&program));
    ASSERT_TRUE(WaitUntil([] { return LastNotification().info == kProxyAsks; }, kStepTimeoutMs));
    PostTrayEvent(FindMainWindow(), NIN_BALLOONUSERCLICK);
    HWND prompt = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (prompt = FindProgramDialog(program, "Pagewren", 103)) != nullptr; }, kStepTimeoutMs));
    EXPECT_EQ(std::string(kProxyAsks) + "\r\nlocalhost:" + std::to_string(proxy.port), ControlText(prompt, 103));
    SetControlText(prompt, 101, kProxyUser);
    SetControlText(prompt, 102, kProxyPassword);
    (void)SendMessageA(GetDlgItem(prompt, 104), BM_SETCHECK, BST_CHECKED, 0);
    (void)PostMessageA(prompt, WM_COMMAND, IDOK, 0);
    for (int start = 0; start < 2; ++start) {
        HWND dialog = start == 0 ? WaitForSignInDialog() : LaunchAndWaitForSignIn();
        ASSERT_NE(nullptr, dialog);
        PressEnter(dialog, IDC_PASSWORD);
        ASSERT_TRUE(WaitForTrayTip(kSignedIn));
        EXPECT_EQ(std::string(kProxyUser) + "/" + kProxyPassword, KeptCredential(ProxyTarget(proxy.port, "localhost")));
        StopProgram(program);
    }
    // Asked once at the first start; the requests of both passed signed in as the proxy user.
    const std::string log = SupportLog();
    EXPECT_EQ(log.find("proxy sign-in asked"), log.rfind("proxy sign-in asked"));
    std::string passed;
    ASSERT_TRUE(ControlServer("proxy_log", &passed));
    EXPECT_NE(std::string::npos, passed.find(std::string("/auth-tray.php ") + kProxyUser)) << passed;
}

}  // namespace
