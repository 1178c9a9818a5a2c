// Every fault mode of the reference server on each of the three exchanges, against the running
// Pagewren.exe: the tray state and notice that the result calls for, a main window that keeps
// answering (also while an answer is held back), an untouched configuration file, and a healthy
// sign-in from the tray icon (or from the notification of a refused refresh) afterwards. One
// program run serves the whole table.
#include "e2e/e2e_fixture.h"

#include "res/resource.h"
#include "support/files.h"
#include "support/texts.h"

#include <string>
#include <vector>

namespace {

enum Exchange { CheckExchange, SignInExchange, RefreshExchange };

// A non-ASCII description, sent by the server in the client's code page (1252 here).
const char kDescriptionQuery[] = "Konto%20gesperrt%20%E2%80%93%20Gr%C3%BC%C3%9Fe";
const char kServerError[] = u8"An error occured on the server. Konto gesperrt – Grüße";
// What the user sees once the exchange is over: a box (or none), then the tray tip.
// No tip: the result was 0, which changes nothing.
struct Outcome {
    const char* box;
    const char* tip;
};
const Outcome kDialog = {nullptr, nullptr};  // the check got an answer: the sign-in dialog opens
const Outcome kUnreachable = {nullptr, kError};
const Outcome kInvalidAnswer = {kInvalid, kError};
const Outcome kNoConnection = {kConnectFailed, kError};
const Outcome kReconnect = {nullptr, kReconnecting};
const Outcome kExpiry = {kTimestamp, kError};

struct FaultRow {
    const char* mode;
    Outcome outcome[3];  // check, sign-in, refresh
    bool heldBack;       // the answer waits past the time-out: the test drops it after a look
};

// No answer, or a page that is no answer document, is an outage to the refresh: it retries
// quietly. The user waiting for a sign-in gets a box.
const FaultRow kRows[] = {
    {"reject", {kDialog, {nullptr, kNotSignedIn}, {kRejected, kError}}, false},
    // An error document to a refresh means the session was dropped: the program signs in again.
    {"error", {kDialog, {kServerError, kError}, {nullptr, kSignedIn}}, false},
    {"empty", {kDialog, kInvalidAnswer, kReconnect}, false},
    {"malformed", {kDialog, kInvalidAnswer, kReconnect}, false},
    {"html", {kDialog, kInvalidAnswer, kReconnect}, false},
    {"huge", {kDialog, kInvalidAnswer, kReconnect}, false},
    {"status500", {kDialog, {nullptr, kSignedIn}, {nullptr, kSignedIn}}, false},
    {"expired", {kDialog, kExpiry, kExpiry}, false},
    {"slow&seconds=120", {kUnreachable, kNoConnection, kReconnect}, true},
    {"close", {kUnreachable, kNoConnection, kReconnect}, false},
    {"hang", {kUnreachable, kNoConnection, kReconnect}, true},
    {"drip&seconds=5", {kUnreachable, kNoConnection, kReconnect}, true},
    {"longtoken", {kDialog, kInvalidAnswer, kReconnect}, false},
    {"bomb", {kDialog, kInvalidAnswer, kReconnect}, false},
    // A token that holds for less than five minutes is refreshed halfway to its end; last, as its
    // half-minute refreshes would cut into the rows after it.
    {"soon", {kDialog, {nullptr, kSignedIn}, {nullptr, kSignedIn}}, false},
};

// What the test saw last, for a failure message.
std::string Seen() {
    std::string text = "tip \"" + CurrentTrayTip() + "\", requests:";
    for (const LoggedRequest& request : ServerLog()) text += " " + request.auth + "/" + request.fault;
    return text;
}

struct FaultMatrixTest : ProgramTest {
    HWND WaitForDialog() {
        HWND dialog = nullptr;
        (void)WaitUntil([&] { return (dialog = FindProgramDialog(program, "Pagewren", IDC_EMAIL)) || FindMessageBox(); },
                        kStepTimeoutMs);
        return dialog;
    }
    // Drops every fault and held answer; then a program riding out the outage is signed in
    // again by itself, and any other signs in from its tray icon by event. No reset: it would
    // forget the tokens while the server may still be checking the last one.
    void SignInFromTray(UINT event) {
        ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=none") &&
                    ControlServer("fault?script=tray.php&mode=none") && ControlServer("release"));
        if (CurrentTrayTip() != kSignedIn && CurrentTrayTip() != kReconnecting) {
            PostTrayEvent(FindMainWindow(), event);
            HWND dialog = WaitForDialog();
            ASSERT_NE(nullptr, dialog) << "box instead of the dialog: " << ControlText(FindMessageBox(), 0xFFFF);
            PressEnter(dialog, IDC_PASSWORD);
        }
        // A retry comes at most 20 s after the last one, and the one at hand may still be cut off.
        ASSERT_TRUE(WaitUntil([] { return CurrentTrayTip() == kSignedIn; }, 3 * kStepTimeoutMs)) << Seen();
    }
};

TEST_F(FaultMatrixTest, EveryFaultOnEveryExchangeLeavesTheProgramWhole) {
    HWND dialog = LaunchWithDemoAccount();
    ASSERT_NE(nullptr, dialog);
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitForTrayTip(kSignedIn));
    // As the first sign-in left it, the password kept by Windows.
    const std::string config = ReadFileBytes(UserConfigPath());
    HWND main = FindMainWindow();
    ASSERT_NE(nullptr, main);
    bool waitedOutTheTimeOut = false;

    for (const FaultRow& row : kRows) {
        for (int exchange = CheckExchange; exchange <= RefreshExchange; ++exchange) {
            SCOPED_TRACE(std::string(row.mode) + " on the " +
                         (exchange == CheckExchange ? "check" : exchange == SignInExchange ? "sign-in" : "refresh"));
            const Outcome& expected = row.outcome[exchange];
            const std::string script = exchange == RefreshExchange ? "&script=tray.php" : "&script=auth-tray.php";
            const std::string fault = std::string("fault?mode=") + row.mode + "&description=" + kDescriptionQuery + script;
            size_t logBefore = ServerLog().size();
            if (exchange != SignInExchange) {
                ASSERT_TRUE(ControlServer(fault));
                // A tick of the refresh timer (itself 55 minutes away), or the check behind Sign In.
                (void)PostMessageA(main, exchange == RefreshExchange ? WM_TIMER : WM_COMMAND,
                                   exchange == RefreshExchange ? IDT_REFRESH : ID_SIGN_IN, 0);
            } else {
                (void)PostMessageA(main, WM_COMMAND, ID_SIGN_IN, 0);
                HWND form = WaitForDialog();
                ASSERT_NE(nullptr, form);
                // The dialog's credential check passes; the sign-in behind it meets the fault.
                ASSERT_TRUE(ControlServer(fault + "&after=1"));
                PressEnter(form, IDC_PASSWORD);
            }
            ASSERT_TRUE(WaitUntil([&] { return FaultMetSince(logBefore, row.mode); }, kStepTimeoutMs));
            EXPECT_TRUE(Responsive(main)) << "while the exchange runs";
            if (row.heldBack && exchange == CheckExchange && !waitedOutTheTimeOut) {
                // Once, the real 30-second time-out, which WinINet may wait for sending and again
                // for receiving; the in-process tests shorten it through its seam.
                waitedOutTheTimeOut = true;
                ASSERT_TRUE(WaitUntil([&] { return CurrentTrayTip() == kError; }, 70000));
            } else if (row.heldBack) {
                // WinINet sends a request again when a kept-alive connection closes without an
                // answer, so the server closes that one too before it drops the held answer.
                ASSERT_TRUE(ControlServer("fault?mode=close" + script));
                ASSERT_TRUE(ControlServer("release"));
            }

            // A refresh runs in the background: a notification with the box's text, no box, and
            // in Error the tooltip says why.
            const bool notified = expected.box && exchange == RefreshExchange;
            if (notified) {
                EXPECT_TRUE(WaitUntil([&] { return LastNotification().info == expected.box; }, kStepTimeoutMs)) << Seen();
                const std::string why = "Pagewren - " + std::string(expected.box, 20);
                EXPECT_TRUE(WaitUntil([&] { return CurrentTrayTip().find(why) == 0; }, kStepTimeoutMs)) << Seen();
                EXPECT_EQ(nullptr, FindMessageBox());
            } else if (expected.box) {
                HWND box = nullptr;
                ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox()) != nullptr; }, kStepTimeoutMs)) << Seen();
                EXPECT_EQ(expected.box, ControlText(box, 0xFFFF));
                EXPECT_NE(expected.tip, CurrentTrayTip()) << "the tray changes only once the box is closed";
                EXPECT_TRUE(Responsive(main)) << "while the box is open";
                (void)PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            if (exchange == CheckExchange && !expected.tip) {
                HWND form = WaitForDialog();
                ASSERT_NE(nullptr, form) << ControlText(FindMessageBox(), 0xFFFF);
                (void)PostMessageA(form, WM_COMMAND, IDCANCEL, 0);
                EXPECT_TRUE(WaitForTrayTip(kNotSignedIn));
            } else if (expected.tip && !notified) {
                EXPECT_TRUE(WaitForTrayTip(expected.tip)) << Seen();
            }
            // Also that the program still runs: a window of a process that ended answers nothing.
            EXPECT_TRUE(Responsive(main));
            EXPECT_EQ(config, ReadFileBytes(UserConfigPath())) << "config.xml changed";

            // A refused refresh is mended from its notification. Under Wine a click on a balloon
            // sends no NIN_BALLOONUSERCLICK, so the test posts it as the shell would.
            SignInFromTray(notified && expected.box == std::string(kRejected) ? NIN_BALLOONUSERCLICK : WM_LBUTTONDBLCLK);
        }
    }
}

}  // namespace
