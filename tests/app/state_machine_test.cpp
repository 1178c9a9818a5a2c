// The sign-in state machine, the failure notices and the tray look, driven through the fake
// platform table; worker results that land while a real message box runs.
#include "fake_platform.h"

#include <string>

#include "app/kept_results.h"
#include "app/main_window.h"
#include "app/message_loop.h"
#include "app/report_result.h"
#include "app/request_thread.h"
#include "app/sign_in_flow.h"
#include "app/tray_icon.h"
#include "net/session.h"
#include "res/resource.h"
#include "storage/scoped_lock.h"

namespace {

const char* const kNotSignedIn = "Pagewren - Not Signed In";
const char* const kSignedIn = "Pagewren - Signed In";
const char* const kError = "Pagewren - Error";
const char* const kUnknown = "An unknown error occured.";
const char* const kTimestamp =
    "A timestamp error occured. Please make sure your system time is correct and then retry.";
const char* const kSignInFailed =
    "Pagewren could not sign in.\r\nPlease double click the Pagewren tray icon or select \"Sign In\"\r\n"
    "from the tray menu to retry.";

// Events that do not come from a worker, numbered clear of every worker kind in the table.
enum : WPARAM { StartUp = 100, RefreshTick };

struct Transition {
    TrayState before;
    WPARAM event;
    LPARAM code;
    INT_PTR dialogEnd;  // 0: no dialog may open
    bool startSucceeds;
    int64_t intervalMs;
    TrayState after;
    std::vector<RequestKind> started;
    const char* box;  // nullptr: no box
    UINT timerPeriod;  // 0: the timer is not set
    bool timerKilled;
    const char* tip;  // nullptr: the tray is not touched
};

const Transition kTransitions[] = {
    {NotSignedIn, StartUp, 0, 0, true, 0, SigningIn, {CheckServer}, nullptr, 0, false, "Pagewren - Signing In..."},
    {Error, StartUp, 0, 0, false, 0, Error, {CheckServer}, kUnknown, 0, false, kError},
    {SigningIn, CheckServer, 1, IDOK, true, 0, SigningIn, {SignIn}, nullptr, 0, false, nullptr},
    {SigningIn, CheckServer, 1, IDCANCEL, true, 0, NotSignedIn, {}, nullptr, 0, false, kNotSignedIn},
    {SigningIn, CheckServer, 1, IDOK, false, 0, Error, {SignIn}, kUnknown, 0, false, kError},
    {SigningIn, CheckServer, 18, 0, true, 0, Error, {}, nullptr, 0, false, kError},
    {SigningIn, CheckServer, 0, 0, true, 0, SigningIn, {}, nullptr, 0, false, nullptr},
    {SigningIn, SignIn, 1, 0, true, 3300000, SignedIn, {}, nullptr, 3300000, false, kSignedIn},
    {SigningIn, SignIn, 0, 0, true, 60000, SigningIn, {}, nullptr, 0, false, nullptr},
    {Error, Refresh, 1, 0, true, 1, SignedIn, {}, nullptr, 1, false, kSignedIn},
    {SigningIn, SignIn, 1, 0, true, 0, Error, {}, kTimestamp, 0, true, kError},
    {SignedIn, Refresh, 1, 0, true, -1, Error, {}, kTimestamp, 0, true, kError},
    {SigningIn, SignIn, 1, 0, true, 0x7FFFFFFF, SignedIn, {}, nullptr, 0x7FFFFFFF, false, kSignedIn},
    {SignedIn, Refresh, 1, 0, true, 0x80000000LL, SignedIn, {}, nullptr, 0x7FFFFFFF, false, kSignedIn},
    // A failure leaves the refresh timer running.
    {SignedIn, Refresh, 130, 0, true, 60000, Error, {}, kSignInFailed, 0, false, kError},
    {SignedIn, RefreshTick, 0, 0, true, 0, SignedIn, {Refresh}, nullptr, 0, false, nullptr},
    {SignedIn, RefreshTick, 0, 0, false, 0, Error, {Refresh}, kUnknown, 0, false, kError},
    {SignedIn, 0, 1, 0, true, 60000, SignedIn, {}, nullptr, 0, false, nullptr},
    {SigningIn, 4, 1, 0, true, 60000, SigningIn, {}, nullptr, 0, false, nullptr},
};

TEST_F(ControllerTest, EveryTransitionLeadsToItsStateAndEffects) {
    for (const Transition& row : kTransitions) {
        SCOPED_TRACE(::testing::Message() << "from " << row.before << ", event " << row.event << ", code "
                                          << row.code << ", interval " << row.intervalMs);
        g_fake = FakePlatform();
        g_app.state = row.before;
        g_fake.dialogEnd = row.dialogEnd;
        g_fake.startSucceeds = row.startSucceeds;
        SetSessionInterval(row.intervalMs);

        if (row.event == StartUp) {
            (void)BeginSignIn();
        } else if (row.event == RefreshTick) {
            EXPECT_EQ(0, MainWindowProc(NULL, WM_TIMER, IDT_REFRESH, 0));
        } else {
            HandleWorkerResult(row.event, row.code);
        }

        EXPECT_EQ(row.after, g_app.state);
        EXPECT_EQ(row.dialogEnd ? std::vector<UINT>{IDD_SIGNIN} : std::vector<UINT>{}, g_fake.dialogs);
        EXPECT_EQ(row.dialogEnd == IDOK ? 1 : 0, g_fake.saves);
        EXPECT_EQ(row.started, g_fake.started);
        ASSERT_EQ(row.box ? 1u : 0u, g_fake.boxes.size());
        if (row.box) {
            EXPECT_EQ(row.box, g_fake.boxes[0].text);
        }
        EXPECT_EQ(row.timerPeriod ? std::vector<UINT>{row.timerPeriod} : std::vector<UINT>{}, g_fake.timersSet);
        EXPECT_EQ(row.timerKilled ? std::vector<UINT_PTR>{IDT_REFRESH} : std::vector<UINT_PTR>{},
                  g_fake.timersKilled);
        EXPECT_EQ(row.tip ? row.tip : "", LastTrayTip());
    }
}

const UINT kWarn = MB_TOPMOST | MB_ICONWARNING;
const UINT kStop = MB_TOPMOST | MB_ICONERROR;

struct Notice {
    ResultCode code;
    TrayState after;
    const char* text;  // nullptr: no box
    UINT flags;
};

// The running program shows each category's text (fault matrix); here the codes it cannot
// produce, the icons, and the order of box and tray.
const Notice kNotices[] = {
    {0, SignedIn, nullptr, 0},         {1, SignedIn, nullptr, 0},           {2, Error, kUnknown, kWarn},
    {3, Error, kUnknown, kWarn},       {18, Error, nullptr, 0},             {34, NotSignedIn, nullptr, 0},
    {98, Error, kUnknown, kWarn},      {130, Error, kSignInFailed, kWarn},  {258, Error, kUnknown, kStop},
    {514, Error, "An error occured on the server. Mailbox quota exceeded", kWarn}, {1026, Error, kTimestamp, kStop},
    {66, Error, "Invalid server response.", kWarn},
};

TEST_F(ControllerTest, ReportResultSetsTheStateShowsTheBoxThenUpdatesTheTray) {
    {
        ScopedLock hold(g_session.lock);
        StoreErrorDescription(g_session, "Mailbox quota exceeded");
    }
    for (const Notice& row : kNotices) {
        SCOPED_TRACE(row.code);
        g_fake = FakePlatform();
        g_app.state = SignedIn;
        ReportResult(row.code);
        EXPECT_EQ(row.after, g_app.state);
        ASSERT_EQ(row.text ? 1u : 0u, g_fake.boxes.size());
        if (row.text) {
            EXPECT_EQ(row.text, g_fake.boxes[0].text);
            EXPECT_EQ(row.flags, g_fake.boxes[0].flags);
            EXPECT_EQ(0u, g_fake.boxes[0].trayCallsBefore) << "the tray changes only once the box is closed";
        }
        bool failure = row.after != SignedIn;
        EXPECT_EQ(failure ? std::vector<DWORD>{NIM_MODIFY} : std::vector<DWORD>{}, g_fake.trayOperations);
        EXPECT_EQ(failure ? (row.after == Error ? kError : kNotSignedIn) : "", LastTrayTip());
    }
}

TEST_F(ControllerTest, ServerErrorDescriptionTooLongForTheBoxIsCut) {
    {
        ScopedLock hold(g_session.lock);
        StoreErrorDescription(g_session, std::string(SessionDescriptionSize - 1, 'd').c_str());
    }
    ReportResult(514);
    ASSERT_EQ(1u, g_fake.boxes.size());
    const std::string prefix = "An error occured on the server. ";
    EXPECT_EQ(prefix + std::string(4095 - prefix.size(), 'd'), g_fake.boxes[0].text);
}

TEST_F(ControllerTest, TrayLookOfEachStateAndItsRemoval) {
    const struct {
        TrayState state;
        HICON icon;
        const char* tip;
    } looks[] = {
        {NotSignedIn, g_app.signedOutIcon, kNotSignedIn},
        {SigningIn, g_app.signedOutIcon, "Pagewren - Signing In..."},
        {SignedIn, g_app.signedInIcon, kSignedIn},
        {Error, g_app.errorIcon, kError},
        {static_cast<TrayState>(4), g_app.signedOutIcon, kNotSignedIn},
    };
    for (const auto& look : looks) {
        g_app.state = look.state;
        UpdateTrayIcon();
        EXPECT_EQ(DWORD(NIM_MODIFY), g_fake.trayOperations.back());
        EXPECT_EQ(look.icon, g_fake.tray.back().hIcon) << look.state;
        EXPECT_EQ(look.tip, LastTrayTip());
    }

    // An add that fails because the icon still exists brings it up to date instead.
    g_fake = FakePlatform();
    g_fake.addSucceeds = FALSE;
    g_app.state = SignedIn;
    AddTrayIcon();
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_MODIFY}), g_fake.trayOperations);
    EXPECT_EQ(kSignedIn, LastTrayTip());

    HICON icon = g_app.signedInIcon;
    RemoveTrayIcon();
    RemoveTrayIcon();
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_DELETE}), g_fake.trayOperations);
    EXPECT_TRUE(!g_app.signedInIcon && !g_app.signedOutIcon && !g_app.errorIcon);
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(icon, &info)) << "icon still alive after RemoveTrayIcon";

    NOTIFYICONDATAA data = {};
    SetTrayTip(&data, (std::string(126, 'x') + "a" + std::string(73, 'x')).c_str());
    EXPECT_EQ(std::string(126, 'x') + "a", data.szTip);
}

// Closes this thread's open message box; set as a thread timer while it is open.
void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowA("#32770", "Pagewren");
    if (!box) return;
    (void)KillTimer(NULL, timer);
    (void)PostMessageA(box, WM_COMMAND, IDOK, 0);
}

int WINAPI RealMessageBoxClosedSoon(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    RecordBox(text, flags);
    // Posted before the box opens, so the box's own loop is the one that takes them.
    EXPECT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP_WORKER_RESULT, CheckServer, 1));
    EXPECT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP_WORKER_RESULT, SignIn, 1));
    EXPECT_NE(0u, SetTimer(NULL, 0, 100, CloseMessageBox));
    return MessageBoxA(owner, text, caption, flags);
}

TEST_F(ControllerTest, ResultsDuringAMessageBoxAreHandledAfterItClosesInOrder) {
    ASSERT_TRUE(InstallResultKeeper());
    g_uiPlatform.messageBox = RealMessageBoxClosedSoon;
    g_fake.dialogEnd = IDCANCEL;
    SetSessionInterval(60000);
    ReportResult(InvalidResponse | Failure);
    EXPECT_TRUE(g_fake.dialogs.empty()) << "no sign-in dialog inside another modal loop";
    HandleKeptResults();
    RemoveResultKeeper();
    EXPECT_EQ(std::vector<UINT>{IDD_SIGNIN}, g_fake.dialogs);
    EXPECT_EQ(SignedIn, g_app.state) << "the sign-in came after the cancelled dialog";
    EXPECT_EQ(std::vector<UINT>{60000}, g_fake.timersSet);
}

}  // namespace
