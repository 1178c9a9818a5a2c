// The sign-in state machine driven through the platform table: every worker result, the
// start of a sign-in and the refresh tick.
#include "fake_platform.h"

#include "app/main_window.h"
#include "app/request_thread.h"
#include "app/sign_in_flow.h"
#include "res/resource.h"
#include "ui/signin_dialog.h"

namespace {

const char* const kNotSignedInTip = "Pagewren - Not Signed In";
const char* const kSigningInTip = "Pagewren - Signing In...";
const char* const kSignedInTip = "Pagewren - Signed In";
const char* const kErrorTip = "Pagewren - Error";
const char* const kUnknownError = "An unknown error occured.";
const char* const kTimestampError =
    "A timestamp error occured. Please make sure your system time is correct and then retry.";
const char* const kSignInFailed =
    "Pagewren could not sign in.\r\nPlease double click the Pagewren tray icon or select \"Sign In\"\r\n"
    "from the tray menu to retry.";

struct WorkerRow {
    const char* name;
    TrayState before;
    WPARAM kind;
    LPARAM code;
    INT_PTR dialogEnd;
    bool startSucceeds;
    int64_t intervalMs;
    // What must follow.
    TrayState after;
    size_t dialogs;
    int saves;
    std::vector<RequestKind> started;
    const char* boxText;  // nullptr: no box
    UINT timerPeriod;     // 0: timer not set
    bool timerKilled;
    const char* lastTip;  // nullptr: the tray is not touched
};

const WorkerRow kWorkerRows[] = {
    {"check_ok_dialog_ok", SigningIn, CheckServer, 1, IDOK, true, 0,
     SigningIn, 1, 1, {SignIn}, nullptr, 0, false, nullptr},
    {"check_ok_dialog_cancelled", SigningIn, CheckServer, 1, IDCANCEL, true, 0,
     NotSignedIn, 1, 0, {}, nullptr, 0, false, kNotSignedInTip},
    {"check_ok_dialog_not_created", SigningIn, CheckServer, 1, -1, true, 0,
     NotSignedIn, 1, 0, {}, nullptr, 0, false, kNotSignedInTip},
    {"check_ok_sign_in_worker_not_started", SigningIn, CheckServer, 1, IDOK, false, 0,
     Error, 1, 1, {SignIn}, kUnknownError, 0, false, kErrorTip},
    {"check_unreachable", SigningIn, CheckServer, 18, IDOK, true, 0,
     Error, 0, 0, {}, nullptr, 0, false, kErrorTip},
    {"check_nothing_to_report", SigningIn, CheckServer, 0, IDOK, true, 0,
     SigningIn, 0, 0, {}, nullptr, 0, false, nullptr},
    {"sign_in_ok", SigningIn, SignIn, 1, IDOK, true, 3300000,
     SignedIn, 0, 0, {}, nullptr, 3300000, false, kSignedInTip},
    {"refresh_ok_from_error", Error, Refresh, 1, IDOK, true, 1000,
     SignedIn, 0, 0, {}, nullptr, 1000, false, kSignedInTip},
    {"refresh_ok_from_not_signed_in", NotSignedIn, Refresh, 1, IDOK, true, 60000,
     SignedIn, 0, 0, {}, nullptr, 60000, false, kSignedInTip},
    {"sign_in_ok_interval_zero", SigningIn, SignIn, 1, IDOK, true, 0,
     Error, 0, 0, {}, kTimestampError, 0, true, kErrorTip},
    {"refresh_ok_interval_negative", SignedIn, Refresh, 1, IDOK, true, -5,
     Error, 0, 0, {}, kTimestampError, 0, true, kErrorTip},
    {"sign_in_ok_interval_at_timer_limit", SigningIn, SignIn, 1, IDOK, true, 0x7FFFFFFF,
     SignedIn, 0, 0, {}, nullptr, 0x7FFFFFFF, false, kSignedInTip},
    {"sign_in_ok_interval_over_timer_limit", SigningIn, SignIn, 1, IDOK, true, 0x80000000LL,
     SignedIn, 0, 0, {}, nullptr, 0x7FFFFFFF, false, kSignedInTip},
    {"refresh_ok_interval_far_over_timer_limit", SignedIn, Refresh, 1, IDOK, true, 1000000000000LL,
     SignedIn, 0, 0, {}, nullptr, 0x7FFFFFFF, false, kSignedInTip},
    {"sign_in_nothing_to_report", SigningIn, SignIn, 0, IDOK, true, 60000,
     SigningIn, 0, 0, {}, nullptr, 0, false, nullptr},
    {"sign_in_refused", SigningIn, SignIn, 34, IDOK, true, 0,
     NotSignedIn, 0, 0, {}, nullptr, 0, false, kNotSignedInTip},
    {"refresh_credentials_rejected_keeps_timer", SignedIn, Refresh, 130, IDOK, true, 60000,
     Error, 0, 0, {}, kSignInFailed, 0, false, kErrorTip},
    {"kind_zero_ignored", SignedIn, 0, 1, IDOK, true, 60000,
     SignedIn, 0, 0, {}, nullptr, 0, false, nullptr},
    {"kind_four_ignored", SigningIn, 4, 1, IDOK, true, 60000,
     SigningIn, 0, 0, {}, nullptr, 0, false, nullptr},
    {"kind_four_failure_ignored", SignedIn, 4, 18, IDOK, true, 60000,
     SignedIn, 0, 0, {}, nullptr, 0, false, nullptr},
};

class WorkerResultTest : public ControllerTest, public ::testing::WithParamInterface<WorkerRow> {};

TEST_P(WorkerResultTest, LeadsToItsStateAndEffects) {
    const WorkerRow& row = GetParam();
    g_app.state = row.before;
    g_fake.dialogEnd = row.dialogEnd;
    g_fake.startSucceeds = row.startSucceeds;
    SetSessionInterval(row.intervalMs);

    HandleWorkerResult(row.kind, row.code);

    EXPECT_EQ(row.after, g_app.state);
    ASSERT_EQ(row.dialogs, g_fake.dialogs.size());
    if (row.dialogs) {
        EXPECT_EQ(UINT(IDD_SIGNIN), g_fake.dialogs[0].templateId);
        EXPECT_EQ(SignInDialogProc, g_fake.dialogs[0].proc);
        EXPECT_EQ(g_app.mainWindow, g_fake.dialogs[0].owner);
    }
    EXPECT_EQ(row.saves, g_fake.saves);
    EXPECT_EQ(row.started, g_fake.started);
    if (row.boxText) {
        ASSERT_EQ(1u, g_fake.boxes.size());
        EXPECT_EQ(row.boxText, g_fake.boxes[0].text);
    } else {
        EXPECT_TRUE(g_fake.boxes.empty());
    }
    if (row.timerPeriod) {
        ASSERT_EQ(1u, g_fake.timersSet.size());
        EXPECT_EQ(UINT_PTR(IDT_REFRESH), g_fake.timersSet[0].id);
        EXPECT_EQ(row.timerPeriod, g_fake.timersSet[0].period);
    } else {
        EXPECT_TRUE(g_fake.timersSet.empty());
    }
    EXPECT_EQ(row.timerKilled ? std::vector<UINT_PTR>{IDT_REFRESH} : std::vector<UINT_PTR>{},
              g_fake.timersKilled);
    if (row.lastTip) {
        EXPECT_EQ(row.lastTip, LastTrayTip());
    } else {
        EXPECT_TRUE(g_fake.tray.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, WorkerResultTest, ::testing::ValuesIn(kWorkerRows),
                         [](const ::testing::TestParamInfo<WorkerRow>& info) { return info.param.name; });

TEST_F(ControllerTest, SignedInLookIsShownBeforeTheTimestampBox) {
    g_app.state = SigningIn;
    SetSessionInterval(0);
    HandleWorkerResult(SignIn, 1);
    ASSERT_EQ(1u, g_fake.boxes.size());
    ASSERT_EQ(1u, g_fake.boxes[0].trayCallsBefore);
    EXPECT_STREQ(kSignedInTip, g_fake.tray[0].data.szTip);
    EXPECT_EQ(Error, g_fake.boxes[0].stateWhileOpen);
}

TEST_F(ControllerTest, BeginSignInShowsSigningInAndChecksTheServer) {
    for (TrayState from : {NotSignedIn, Error}) {
        g_fake = FakePlatform();
        g_app.state = from;
        EXPECT_TRUE(BeginSignIn());
        EXPECT_EQ(SigningIn, g_app.state);
        EXPECT_EQ(std::vector<RequestKind>{CheckServer}, g_fake.started);
        ASSERT_EQ(1u, g_fake.tray.size());
        EXPECT_EQ(DWORD(NIM_MODIFY), g_fake.tray[0].operation);
        EXPECT_STREQ(kSigningInTip, g_fake.tray[0].data.szTip);
        EXPECT_TRUE(g_fake.boxes.empty());
    }
}

TEST_F(ControllerTest, BeginSignInReportsAWorkerThatCannotStart) {
    g_fake.startSucceeds = false;
    EXPECT_FALSE(BeginSignIn());
    EXPECT_EQ(Error, g_app.state);
    ASSERT_EQ(1u, g_fake.boxes.size());
    EXPECT_EQ(kUnknownError, g_fake.boxes[0].text);
    EXPECT_EQ(UINT(MB_TOPMOST | MB_ICONERROR), g_fake.boxes[0].flags);
    EXPECT_EQ(kErrorTip, LastTrayTip());
}

TEST_F(ControllerTest, RefreshTickStartsARefreshAndKeepsTheState) {
    for (TrayState state : {SignedIn, Error, NotSignedIn}) {
        g_fake = FakePlatform();
        g_app.state = state;
        EXPECT_EQ(0, MainWindowProc(NULL, WM_TIMER, IDT_REFRESH, 0));
        EXPECT_EQ(std::vector<RequestKind>{Refresh}, g_fake.started);
        EXPECT_EQ(state, g_app.state);
        EXPECT_TRUE(g_fake.tray.empty());
        EXPECT_TRUE(g_fake.timersKilled.empty());
    }
}

TEST_F(ControllerTest, RefreshTickThatCannotStartReportsButKeepsTheTimer) {
    g_app.state = SignedIn;
    g_fake.startSucceeds = false;
    EXPECT_EQ(0, MainWindowProc(NULL, WM_TIMER, IDT_REFRESH, 0));
    EXPECT_EQ(Error, g_app.state);
    ASSERT_EQ(1u, g_fake.boxes.size());
    EXPECT_EQ(kUnknownError, g_fake.boxes[0].text);
    EXPECT_TRUE(g_fake.timersKilled.empty());
}

TEST_F(ControllerTest, OtherTimersStartNothing) {
    g_app.state = SignedIn;
    EXPECT_EQ(0, MainWindowProc(NULL, WM_TIMER, IDT_REFRESH + 1, 0));
    EXPECT_TRUE(g_fake.started.empty());
}

TEST_F(ControllerTest, SignInResultZeroLeavesSigningInStuckUntilARefreshSucceeds) {
    g_app.state = SigningIn;
    SetSessionInterval(60000);
    HandleWorkerResult(SignIn, 0);
    EXPECT_EQ(SigningIn, g_app.state);
    HandleWorkerResult(Refresh, 1);
    EXPECT_EQ(SignedIn, g_app.state);
}

}  // namespace
