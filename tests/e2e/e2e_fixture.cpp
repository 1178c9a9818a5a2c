#include "e2e/e2e_fixture.h"

#include "support/files.h"
#include "support/kept_credentials.h"

#include <shlobj.h>

#include <map>
#include <sstream>
#include <vector>

const char kDemoEmail[] = "demo@pagewren.test";
const char kDemoPassword[] = "pagewren-demo";
const char kDemoPasswordOldForm[] = "FYdPklam658JQW/oHw==";

namespace {

// The events each main road must leave in the support log, by the test that drives the road.
const std::map<std::string, std::vector<std::string>> kRoadEvents = {
    {"SignsInThroughThePrefilledDialogAndRefreshesLeavingNoTokenOnDisk",
     {"main settings: per-user file read", ", e-mail address set", "sign-in dialog closed: OK",
      "credential check GET http://127.0.0.1:", "sign-in GET http://127.0.0.1:", "/auth-tray.php: answer, status 200",
      "credential store: write, error 0", "state SigningIn -> SignedIn: signed in", "refresh timer armed: every ",
      "/tray.php?token=<token>&action=1: answer, status 200, error 0 none", "main exit: code 0"}},
    {"DialogRefusesThenTextBeyondTheCodePageReachesTheServerTheNextStartAndTheBoxWhole",
     {u8"box 119 shown: An error occured on the server. Wartung bis 12 Uhr – später erneut (Łódź) 密码",
      "e-mail address not set", "/auth-tray.php: refused, status 401", "settings saved: file written"}},
    {"StartedBeforeTheServerThenWokenUpAndThroughAnOutageTheProgramShowsNoBox",
     {"main wake-up", ": not sent, status 0, error 12029 ERROR_INTERNET_CANNOT_CONNECT",
      "retry 1 of refresh in 5000 ms", "refresh result: 1"}},
    {"SessionIsKeptOnTheServersClockSignedInAgainWhenDroppedAndAtTheNextStart",
     {"sign-in at start: by itself once the server answers", "phase SigningInByItself -> SignedIn: signed in"}},
    {"EveryFaultOnEveryExchangeLeavesTheProgramWhole",
     {"state SigningIn -> NotSignedIn: failure 34", "/tray.php?token=<token>&action=1: refused, status 401",
      "notification 110 shown: Pagewren could not sign in.", "notification 110 clicked", "box 113 shown: Invalid server response.",
      "box 112 shown: Pagewren could not connect to the server.", "box 112 closed", "status 500"}},
    {"SignsInBehindAProxyThatAsksAndKeepsItsCredentials",
     {"proxy localhost:", "asks for a sign-in", "proxy schemes: Basic, realm \"pagewren-test\"; credentials none held",
      ": proxy refused, status 407", "notification 131 shown", "proxy took the credentials",
      "credential store: proxy write, error 0", "credential store: proxy read, error 0"}},
    {"UnverifiedCertificateAndUnreadableSettingsAreToldBeforeAnySignIn",
     // An issuer nobody trusts is 12045 on Windows, 12057 under Wine.
     {"server https://localhost:", "check GET https://localhost:", ": unverified, status 0, error 120",
      "notification 124 shown: Pagewren could not verify", "settings: none read, built-in server", "settings: per-user file unreadable, copy as config.xml.unreadable kept",
      "server http://pagewren.com:80/"}},
};

std::string LogPath(const char* name) { return KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Pagewren\\" + name; }

}  // namespace

std::string SupportLog() { return ReadFileBytes(LogPath("Pagewren.1.log")) + ReadFileBytes(LogPath("Pagewren.log")); }

std::string TestServerOrigin() { return "Pagewren:http://127.0.0.1:" + std::to_string(TestServerPort()); }

void ProgramTest::SetUp() {
    ASSERT_NE(0, TestServerPort()) << "run with the reference server";
    ASSERT_TRUE(StartFakeTray());
    ASSERT_TRUE(ControlServer("reset"));
    RemoveUserConfig();
    RemoveCredential(TestServerOrigin());
    for (const char* name : {"Pagewren.log", "Pagewren.1.log"}) (void)DeleteFileA(LogPath(name).c_str());
}

void ProgramTest::TearDown() {
    StopProgram(program);
    const std::string log = SupportLog();
    const auto road = kRoadEvents.find(::testing::UnitTest::GetInstance()->current_test_info()->name());
    for (const std::string& event : road == kRoadEvents.end() ? std::vector<std::string>() : road->second)
        EXPECT_NE(std::string::npos, log.find(event)) << event << " not in:\n" << log;
    std::string secrets;
    EXPECT_TRUE(ControlServer("tokens", &secrets));
    std::istringstream lines(secrets + "Authorization\n" + kDemoEmail + "\n" + kDemoPassword + "\n" +
                             kDemoPasswordOldForm + "\nproxy-secret");
    for (std::string secret; std::getline(lines, secret);)
        EXPECT_TRUE(secret.empty() || log.find(secret) == std::string::npos) << secret << " in the support log";
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
    return LaunchProgram(&program, pathVariable) ? WaitForSignInDialog() : nullptr;
}

HWND ProgramTest::LaunchWithDemoAccount(const char* pathVariable) {
    EXPECT_TRUE(WriteUserConfig(ConfigText(TestServerPort(), kDemoEmail, kDemoPasswordOldForm)));
    return LaunchAndWaitForSignIn(pathVariable);
}

HWND ProgramTest::WaitForSignInDialog() {
    HWND dialog = nullptr;
    (void)WaitUntil([&] { return (dialog = FindProgramDialog(program, "Pagewren", 1010)) != nullptr; }, kStepTimeoutMs);
    return dialog;
}

bool ProgramTest::WaitForTrayTip(const char* tip) {
    return WaitUntil([&] { return CurrentTrayTip() == tip; }, kStepTimeoutMs);
}

HWND ProgramTest::FindMessageBox() { return FindProgramDialog(program, "Pagewren", 0xFFFF); }

bool Responsive(HWND window) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored) != 0;
}

size_t Refreshes() {
    size_t count = 0;
    for (const LoggedRequest& request : ServerLog()) count += request.path.find("/tray.php") == 0;
    return count;
}
