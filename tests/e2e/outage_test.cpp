// Pagewren.exe when the server goes away and comes back on the same port: a start before the
// server is up, a wake-up of the computer and an outage while signed in, an answer dripped past
// the deadline, a credential check that the server never answers, a session dropped by the
// server, and a sign-in by itself at the next start.
#include "e2e/e2e_fixture.h"

#include "res/resource.h"
#include "support/files.h"
#include "support/texts.h"

#include <string>

namespace {

struct OutageTest : ProgramTest {
    // Waits for condition, failing at once when the program shows a box on the way.
    bool WaitWithoutBox(const std::function<bool()>& condition, DWORD timeoutMs) {
        bool boxSeen = false;
        bool met = WaitUntil([&] { return (boxSeen = FindMessageBox() != nullptr) || condition(); }, timeoutMs);
        EXPECT_FALSE(boxSeen) << ControlText(FindMessageBox(), 0xFFFF);
        return met && !boxSeen;
    }
    // Refuses connections for seconds; the control API is away with the service.
    // Returns once the listener is closed: the server answers before it goes down.
    static void TakeServerDown(double seconds) {
        ASSERT_TRUE(ControlServer("down?seconds=" + std::to_string(seconds)));
        ASSERT_TRUE(WaitUntil([] { return !ControlServer("log"); }, kStepTimeoutMs));
    }
    static void WaitForServerBack() {
        ASSERT_TRUE(WaitUntil([] { return ControlServer("log"); }, kStepTimeoutMs));
    }
};

// Started before the server, the program tells the error quietly, retries the check and opens
// the dialog once the server answers. Signed in, a wake-up refreshes at once, and an outage is
// ridden out quietly.
TEST_F(OutageTest, StartedBeforeTheServerThenWokenUpAndThroughAnOutageTheProgramShowsNoBox) {
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort(), kDemoEmail, kDemoPasswordOldForm)));
    TakeServerDown(4);
    ASSERT_TRUE(LaunchProgram(&program));
    ASSERT_TRUE(WaitWithoutBox([] { return CurrentTrayTip() == kError; }, kStepTimeoutMs));
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitWithoutBox([&] { return (dialog = FindProgramDialog(program, "Pagewren", IDC_EMAIL)) != nullptr; },
                               kStepTimeoutMs));
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitForTrayTip(kSignedIn));
    HWND main = FindMainWindow();
    // Windows sends both notices on a resume the user sees; Wine sends none, so the test does.
    (void)PostMessageA(main, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    (void)PostMessageA(main, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    ASSERT_TRUE(WaitUntil([] { return Refreshes() >= 1; }, 5000)) << "the refresh timer is 55 minutes away";

    // The refresh meets the outage; the first retry, 5 s later, meets the server again.
    TakeServerDown(3);
    (void)PostMessageA(main, WM_TIMER, IDT_REFRESH, 0);
    ASSERT_TRUE(WaitWithoutBox([] { return CurrentTrayTip() == kReconnecting; }, kStepTimeoutMs));
    EXPECT_TRUE(WaitWithoutBox([] { return CurrentTrayTip() == kSignedIn; }, kStepTimeoutMs));
    WaitForServerBack();
}

// An answer dripped a byte a second restarts WinINet's 30-second time-outs for ever; the
// deadline (shortened to 3 s in this copy of the program) ends the sign-in with a box while
// the program keeps answering, and the next sign-in works.
TEST_F(OutageTest, DrippedAnswerEndsAtTheDeadlineAndTheNextSignInWorks) {
    HWND dialog = LaunchWithDemoAccount("PAGEWREN_SHORT_DEADLINE_EXE");
    ASSERT_NE(nullptr, dialog);
    // The dialog's credential check passes; the sign-in behind it meets the drip.
    ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=drip&seconds=1&after=1"));
    PressEnter(dialog, IDC_PASSWORD);
    // The whole dripped answer would take minutes; the program answers while it comes.
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return !Responsive(FindMainWindow()) || (box = FindMessageBox()); }, kStepTimeoutMs));
    EXPECT_EQ(kConnectFailed, ControlText(box, 0xFFFF));
    (void)PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForTrayTip(kError));

    ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=none") && ControlServer("release"));
    PostTrayEvent(FindMainWindow(), WM_LBUTTONDBLCLK);
    ASSERT_NE(nullptr, dialog = WaitForSignInDialog());
    PressEnter(dialog, IDC_PASSWORD);
    EXPECT_TRUE(WaitForTrayTip(kSignedIn));
}

TEST_F(OutageTest, CredentialCheckAgainstAHangingServerCanBeCancelled) {
    HWND dialog = LaunchWithDemoAccount();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=hang"));
    const size_t logBefore = ServerLog().size();
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitUntil([&] { return FaultMetSince(logBefore, "hang"); }, kStepTimeoutMs));
    // The dialog is modal on the main window's thread: one answer stands for both.
    EXPECT_TRUE(Responsive(dialog));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_PASSWORD)));

    // Escape goes wherever the program's keyboard focus is, as a key the user presses does.
    GUITHREADINFO focus = {};
    focus.cbSize = sizeof focus;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &focus));
    ASSERT_NE(nullptr, focus.hwndFocus) << "greyed fields must not leave the keys nowhere";
    (void)PostMessageA(focus.hwndFocus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(WaitForTrayTip(kNotSignedIn));
    EXPECT_EQ(nullptr, FindProgramDialog(program, "Pagewren", IDC_EMAIL));
    // WinINet sends the request again when its connection closes unanswered; that one closes too.
    ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=close") && ControlServer("release"));
}

// Against a server that checks its tokens on its own clock, three hours ahead of this computer's:
// the refreshes come before the token runs out there, and when the server drops every session
// the program signs in again by itself, with no box and no dialog, and refreshes on. Its first
// sign-in meets a page that is no answer, as a server restarting behind a load balancer gives.
// "Sign me in automatically", ticked at the first sign-in with "Remember me", then signs in at
// the next start with the password Windows keeps: no dialog, no box, and the refreshes on time.
TEST_F(OutageTest, SessionIsKeptOnTheServersClockSignedInAgainWhenDroppedAndAtTheNextStart) {
    // The token holds 304 s on the server's clock: a refresh every 4 s.
    ASSERT_TRUE(ControlServer("strict_tokens?on=1") && ControlServer("clock?offset=10800") &&
                ControlServer("lifetime?seconds=304"));
    HWND dialog = LaunchWithDemoAccount();
    ASSERT_NE(nullptr, dialog);
    // A click as the user's, which the "Remember me" that the file ticked has enabled.
    (void)SendMessageA(GetDlgItem(dialog, IDC_SIGN_IN_AUTOMATICALLY), BM_CLICK, 0, 0);
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitWithoutBox([] { return Refreshes() >= 2 && CurrentTrayTip() == kSignedIn; }, kStepTimeoutMs));
    const auto signIns = [] { return ServerLog().size() - Refreshes(); };
    const size_t signInsBefore = signIns(), refreshes = Refreshes();
    ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=status&code=503") && ControlServer("drop_sessions"));
    EXPECT_TRUE(WaitWithoutBox([&] { return Refreshes() > refreshes + 2 && CurrentTrayTip() == kSignedIn; },
                               kStepTimeoutMs));
    EXPECT_EQ(signInsBefore + 2, signIns()) << "signed in again after the page, and refreshed with the new token since";
    EXPECT_EQ(nullptr, FindProgramDialog(program, "Pagewren", IDC_EMAIL));

    StopProgram(program);
    ASSERT_NE(std::string::npos, ReadFileBytes(UserConfigPath()).find(" signin=\"automatic\""));
    const size_t refreshesBefore = Refreshes();
    ASSERT_TRUE(LaunchProgram(&program));
    EXPECT_TRUE(WaitWithoutBox([&] { return CurrentTrayTip() == kSignedIn && Refreshes() > refreshesBefore; },
                               kStepTimeoutMs));
    EXPECT_EQ(nullptr, FindProgramDialog(program, "Pagewren", IDC_EMAIL));
}

}  // namespace
