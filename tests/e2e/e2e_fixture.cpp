#include "e2e/e2e_fixture.h"

#include "support/kept_credentials.h"

const char kDemoEmail[] = "demo@pagewren.test";
const char kDemoPassword[] = "pagewren-demo";
const char kDemoPasswordOldForm[] = "FYdPklam658JQW/oHw==";

std::string TestServerOrigin() { return "Pagewren:http://127.0.0.1:" + std::to_string(TestServerPort()); }

void ProgramTest::SetUp() {
    ASSERT_NE(0, TestServerPort()) << "run with the reference server";
    ASSERT_TRUE(StartFakeTray());
    ASSERT_TRUE(ControlServer("reset"));
    RemoveUserConfig();
    RemoveCredential(TestServerOrigin());
}

void ProgramTest::TearDown() {
    StopProgram(program);
    StopFakeTray();
    RemoveUserConfig();
    RemoveCredential(TestServerOrigin());
}

std::string ProgramTest::ConfigText(int port, const char* user, const char* encryptedPassword) {
    std::string text = "<config>\r\n\t<server host=\"127.0.0.1\" directory=\"/\" port=\"" + std::to_string(port) + "\">\r\n";
    if (user) text += std::string("\t\t<user>") + user + "</user>\r\n";
    if (encryptedPassword) text += std::string("\t\t<password>") + encryptedPassword + "</password>\r\n";
    return text + "\t</server>\r\n</config>";
}

HWND ProgramTest::LaunchAndWaitForSignIn(const char* pathVariable) {
    if (!LaunchProgram(&program, pathVariable)) return nullptr;
    HWND dialog = nullptr;
    (void)WaitUntil([&] { return (dialog = FindProgramDialog(program, "Pagewren", 1010)) != nullptr; }, kStepTimeoutMs);
    return dialog;
}

bool ProgramTest::WaitForTrayTip(const char* tip) {
    return WaitUntil([&] { return CurrentTrayTip() == tip; }, kStepTimeoutMs);
}

HWND ProgramTest::FindMessageBox() { return FindProgramDialog(program, "Pagewren", 0xFFFF); }

void ProgramTest::DoubleClickTrayIcon() {
    // What the shell sends for a double-click on the icon: its id and the mouse message.
    (void)PostMessageA(FindMainWindow(), WM_USER + 100, 100, WM_LBUTTONDBLCLK);
}

bool Responsive(HWND window) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored) != 0;
}

size_t Refreshes() {
    size_t count = 0;
    for (const LoggedRequest& request : ServerLog()) count += request.path.find("/tray.php") == 0;
    return count;
}
