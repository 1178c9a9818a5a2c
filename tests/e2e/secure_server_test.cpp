// Pagewren.exe and the secrets it handles: no session token left in the user's profile after a
// session, and over TLS a sign-in only with a server whose certificate verifies.
#include "e2e/e2e_fixture.h"

#include "res/resource.h"
#include "support/files.h"
#include "support/test_authority.h"
#include "support/texts.h"

#include <shlobj.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kIdentityUnverified[] =
    "Pagewren could not verify the server's identity, so it did not send your e-mail address and password.\r\n"
    "Please check that your computer's date and time are correct, or ask your administrator about the server's "
    "certificate.";

std::vector<std::string> IssuedTokens() {
    std::string text;
    EXPECT_TRUE(ControlServer("tokens", &text));
    std::vector<std::string> tokens;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) tokens.push_back(line);
    return tokens;
}

// The files under the user's cache, cookie and history folders that hold one of the tokens.
std::vector<std::string> FilesHoldingTokens(const std::vector<std::string>& tokens) {
    std::vector<std::string> found;
    for (int csidl : {CSIDL_INTERNET_CACHE, CSIDL_COOKIES, CSIDL_HISTORY}) {
        std::error_code error;
        const std::string folder = KnownFolder(csidl);
        if (folder.empty()) continue;
        for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            if (!it->is_regular_file(error)) continue;
            const std::string bytes = ReadFileBytes(it->path().string());
            for (const std::string& token : tokens)
                if (bytes.find(token) != std::string::npos) found.push_back(it->path().string());
        }
    }
    return found;
}

// The configuration of a TLS server on port of localhost, with the demo account remembered.
std::string SecureConfig(int port) {
    std::string text = ProgramTest::ConfigText(port, kDemoEmail, EncryptedPassword(kDemoPassword).c_str());
    text.replace(text.find("127.0.0.1"), 9, "localhost");
    return text.insert(text.find(">\r\n\t\t<user>"), " scheme=\"https\"");
}

TEST_F(ProgramTest, NoTokenIsLeftInTheCacheCookiesOrHistory) {
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort(), kDemoEmail, EncryptedPassword(kDemoPassword).c_str())));
    HWND dialog = LaunchAndWaitForSignIn();
    ASSERT_NE(nullptr, dialog);
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitForTrayTip(kSignedIn));
    // The dialog's check and the sign-in were given two tokens; three refreshes bring three
    // more. A tick while a refresh still runs is dropped, so it is sent until they have.
    HWND main = FindMainWindow();
    ASSERT_TRUE(WaitUntil([&] {
        (void)PostMessageA(main, WM_TIMER, IDT_REFRESH, 0);
        return IssuedTokens().size() >= 5;
    }, kStepTimeoutMs));
    StopProgram(program);
    EXPECT_EQ(std::vector<std::string>(), FilesHoldingTokens(IssuedTokens()));
}

TEST_F(ProgramTest, OverTlsOnlyAVerifiedServerGetsTheCredentials) {
    ASSERT_TRUE(TrustTestAuthority());
    const int trusted = StartTlsListener("localhost");
    ASSERT_NE(0, trusted);
    ASSERT_TRUE(WriteUserConfig(SecureConfig(trusted)));
    HWND dialog = LaunchAndWaitForSignIn();
    ASSERT_NE(nullptr, dialog);
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitForTrayTip(kSignedIn));
    for (const LoggedRequest& request : ServerLog()) EXPECT_EQ(trusted, request.port) << request.path;
    StopProgram(program);

    // The other certificate faults take the same road in the exchange, which the server tests
    // cover. The box comes from the start's server check: the dialog never opens.
    ASSERT_TRUE(ControlServer("reset"));
    const int untrusted = StartTlsListener("untrusted");
    ASSERT_NE(0, untrusted);
    ASSERT_TRUE(WriteUserConfig(SecureConfig(untrusted)));
    ASSERT_TRUE(LaunchProgram(&program));
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox()) != nullptr; }, kStepTimeoutMs));
    EXPECT_EQ(kIdentityUnverified, ControlText(box, 0xFFFF));
    EXPECT_EQ(nullptr, FindProgramDialog(program, "Pagewren", IDC_EMAIL));
    EXPECT_TRUE(ServerLog().empty()) << "a request got past the handshake";
    (void)PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitForTrayTip(kError));
}

}  // namespace
