// Pagewren.exe under Wine against the reference server: start-up, the sign-in dialog,
// the background sign-in, the refresh and the failures the user sees.
#include "e2e/e2e_fixture.h"

#include "res/resource.h"
#include "storage/credential_cipher.h"

#include <string>
#include <vector>

namespace {

std::string Encrypted(const char* password) {
    char stored[CredentialTextSize] = {};
    EXPECT_TRUE(EncryptCredential(password, stored));
    return stored;
}

bool IsChecked(HWND dialog, int id) {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

TEST_F(ProgramTest, SignsInThroughThePrefilledDialogAndRefreshesWithTheToken) {
    ASSERT_TRUE(ControlServer("lifetime?seconds=303"));
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort(), kDemoEmail, Encrypted(kDemoPassword).c_str())));

    HWND dialog = LaunchAndWaitForSignIn();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(kDemoEmail, ControlText(dialog, IDC_EMAIL));
    // Wine hands a password field's text to another process; Windows would not.
    EXPECT_EQ(kDemoPassword, ControlText(dialog, IDC_PASSWORD));
    EXPECT_TRUE(IsChecked(dialog, IDC_REMEMBER));

    // Start-up: the icon appears not signed in, turns to signing in, and one unauthenticated check went out.
    ASSERT_GE(TrayCalls().size(), 2u);
    EXPECT_EQ(DWORD(NIM_ADD), TrayCalls()[0].operation);
    EXPECT_EQ("Pagewren - Not Signed In", TrayCalls()[0].tip);
    EXPECT_EQ("Pagewren - Signing In...", CurrentTrayTip());
    std::vector<LoggedRequest> log = ServerLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("GET", log[0].method);
    EXPECT_EQ("/auth-tray.php", log[0].path);
    EXPECT_EQ("Pagewren", log[0].userAgent);
    EXPECT_EQ("-", log[0].auth);

    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitForTrayTip("Pagewren - Signed In"));
    EXPECT_EQ(nullptr, FindProgramDialog(program, "Pagewren", IDC_EMAIL));

    // The credential check and the sign-in: each first without credentials, then after the challenge with them.
    log = ServerLog();
    ASSERT_EQ(5u, log.size());
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_EQ("/auth-tray.php", log[i].path);
        EXPECT_EQ(i % 2 == 1 ? "-" : kDemoEmail, log[i].auth) << "request " << i;
        EXPECT_EQ("0", log[i].bodyLength);
    }

    // A lifetime of five minutes and three seconds arms the refresh three seconds after the sign-in.
    ASSERT_TRUE(WaitUntil([] {
        for (const LoggedRequest& request : ServerLog())
            if (request.path.rfind("/tray.php?token=", 0) == 0 && request.auth == kDemoEmail) return true;
        return false;
    }, kStepTimeoutMs));
    std::string refresh;
    for (const LoggedRequest& request : ServerLog())
        if (request.auth == kDemoEmail && request.path.rfind("/tray.php", 0) == 0) refresh = request.path;
    EXPECT_NE(std::string::npos, refresh.find("&action=1"));
    EXPECT_GT(refresh.size(), std::string("/tray.php?token=&action=1").size()) << "the token is missing";
    // The server answers an unknown token with an error, which would show a message box.
    EXPECT_TRUE(WaitForTrayTip("Pagewren - Signed In"));
    EXPECT_EQ(nullptr, FindMessageBox());
}

TEST_F(ProgramTest, RejectedCredentialsAndEmptyEmailKeepTheDialogOpen) {
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort())));
    HWND dialog = LaunchAndWaitForSignIn();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("", ControlText(dialog, IDC_EMAIL));
    EXPECT_FALSE(IsChecked(dialog, IDC_REMEMBER));

    SetControlText(dialog, IDC_EMAIL, kDemoEmail);
    SetControlText(dialog, IDC_PASSWORD, "wrong");
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitUntil([&] { return ControlVisible(dialog, IDC_ERROR_LABEL); }, kStepTimeoutMs));
    EXPECT_EQ("Invalid e-mail address or password", ControlText(dialog, IDC_ERROR_LABEL));
    EXPECT_EQ(dialog, FindProgramDialog(program, "Pagewren", IDC_EMAIL));
    EXPECT_EQ("Pagewren - Signing In...", CurrentTrayTip());

    size_t requestsBefore = ServerLog().size();
    SetControlText(dialog, IDC_EMAIL, "");
    PressEnter(dialog, IDC_EMAIL);
    ASSERT_TRUE(WaitUntil([&] { return ControlText(dialog, IDC_ERROR_LABEL) == "An e-mail address is required"; },
                          kStepTimeoutMs));
    EXPECT_EQ(requestsBefore, ServerLog().size()) << "an empty e-mail address must not reach the server";
    EXPECT_EQ(dialog, FindProgramDialog(program, "Pagewren", IDC_EMAIL));
}

TEST_F(ProgramTest, ServerErrorAnswerShowsItsDescription) {
    ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=error&description=Account%20suspended"));
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort(), kDemoEmail, Encrypted(kDemoPassword).c_str())));
    HWND dialog = LaunchAndWaitForSignIn();
    ASSERT_NE(nullptr, dialog);
    PressEnter(dialog, IDC_PASSWORD);

    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox()) != nullptr; }, kStepTimeoutMs));
    EXPECT_EQ("An error occured on the server. Account suspended", ControlText(box, 0xFFFF));
    // The tray follows only once the box is closed.
    EXPECT_EQ("Pagewren - Signing In...", CurrentTrayTip());
    (void)PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitForTrayTip("Pagewren - Error"));
}

TEST_F(ProgramTest, UnreachableServerGivesTheErrorStateQuietly) {
    ASSERT_TRUE(WriteUserConfig(ConfigText(UnusedLoopbackPort())));
    ASSERT_TRUE(LaunchProgram(&program));
    // A message box would hold the tray update back until it is closed.
    ASSERT_TRUE(WaitForTrayTip("Pagewren - Error"));
    EXPECT_EQ(nullptr, FindMessageBox());
    EXPECT_EQ(nullptr, FindProgramDialog(program, "Pagewren", IDC_EMAIL));
}

TEST_F(ProgramTest, RememberMeWritesTheEmailAndTheEncryptedPassword) {
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort())));
    HWND dialog = LaunchAndWaitForSignIn();
    ASSERT_NE(nullptr, dialog);
    SetControlText(dialog, IDC_EMAIL, kDemoEmail);
    SetControlText(dialog, IDC_PASSWORD, kDemoPassword);
    (void)SendMessageA(GetDlgItem(dialog, IDC_REMEMBER), BM_SETCHECK, BST_CHECKED, 0);
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitForTrayTip("Pagewren - Signed In"));

    std::string config;
    ASSERT_TRUE(ReadWholeFile(UserConfigPath(), &config));
    EXPECT_NE(std::string::npos, config.find(std::string("<user>") + kDemoEmail + "</user>")) << config;
    EXPECT_NE(std::string::npos, config.find("<password>" + Encrypted(kDemoPassword) + "</password>")) << config;
    EXPECT_EQ(std::string::npos, config.find(kDemoPassword)) << "the password is stored in clear";
}

TEST_F(ProgramTest, SecondCopyExitsAtOnceWithCodeZero) {
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort())));
    ASSERT_NE(nullptr, LaunchAndWaitForSignIn());

    ProgramRun second;
    ASSERT_TRUE(LaunchProgram(&second));
    EXPECT_EQ(0u, WaitForProgramExit(second, kStepTimeoutMs));
    (void)CloseHandle(second.process.hThread);
    (void)CloseHandle(second.process.hProcess);
    EXPECT_EQ(STILL_ACTIVE, WaitForProgramExit(program, 0));
    EXPECT_EQ(1u, ServerLog().size()) << "the second copy must not contact the server";
}

}  // namespace
