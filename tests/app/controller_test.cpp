// The controller through the fake platform table, for what the random walk of the state machine
// cannot state: the exact words told, the timers' periods, the tray's look and menus, and worker
// results that land while a real message box runs.
#include "fake_platform.h"

#include <algorithm>
#include <string>

#include "app/kept_results.h"
#include "app/main_window.h"
#include "app/message_loop.h"
#include "app/report_result.h"
#include "app/sign_in_flow.h"
#include "app/tray_icon.h"
#include "net/session.h"
#include "res/resource.h"
#include "storage/scoped_lock.h"
#include "storage/settings.h"
#include "storage/storage_test_support.h"
#include "support/texts.h"
#include "ui/signin_dialog.h"

namespace {

std::vector<std::string> OneOrNone(const char* text) {
    return text ? std::vector<std::string>{text} : std::vector<std::string>();
}

// Starts a sign-in and answers its check; the dialog ends as g_fake.dialogEnd says.
void SignInThroughTheDialog() {
    ASSERT_TRUE(BeginSignIn());
    HandleWorkerResult(MAKEWPARAM(CheckServer, g_app.generation), Success);
}

void Answer(RequestKind kind, LPARAM code) { HandleWorkerResult(MAKEWPARAM(kind, g_app.generation), code); }

const char kServerErrorLocked[] = "An error occured on the server. Locked";
const char kReconnectingNotice[] =
    "Pagewren has lost connection to the server. It signs you in again as soon as the server can be reached.";
const int64_t kSecond = 10000000;  // in the UTC clock's units

// The user's sign-in, then a refresh: what each outcome tells, in a box to the user and in a
// notification in the background, and the refresh timer's period, cut to what the timer takes.
// The fault matrix tells the server's faults on the real program; here what it cannot bring
// about: a worker that does not start, a period past the timer's, the whole tooltip, and a
// server whose identity is not verified on a refresh.
TEST_F(ControllerTest, EachOutcomeIsToldInItsWordsWithTheTimerItLeaves) {
    SetRecord("pages.example", "/", "", "a@example.com", "secret");
    const struct {
        RequestKind kind;
        LPARAM code;
        int64_t intervalMs;
        bool startSucceeds;
        const char* told;  // in a box for the sign-in, in a notification for the refresh
        const char* tip;
        UINT timerPeriod;  // 0: no refresh timer left
    } rows[] = {
        {SignIn, Success, 60000, false, kUnknown, kError, 0},
        // A refused connection, nothing sent; the fault matrix's unreachable sign-ins all sent the password.
        {SignIn, Failure | ServerUnreachable, 0, true, kConnectFailed, kError, 0},
        {Refresh, Success, 0x80000000LL, true, nullptr, kSignedIn, 0x7FFFFFFF},
        {Refresh, Success, -1, true, kTimestamp, "Pagewren - A timestamp error occured. Please make sure your "
                                                 "system time is correct and then retry.", 0},
        {Refresh, Failure | IdentityUnverified, 60000, true, kIdentityUnverified, nullptr, 0},
        {Refresh, Failure | InternalError, 60000, false, kUnknown, nullptr, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "kind " << row.kind << ", code " << row.code << ", interval " << row.intervalMs);
        g_fake = FakePlatform();
        g_app.phase = SignInPhase::NotSignedIn;
        // The dialog's OK, or the refresh timer's tick, starts the worker.
        g_fake.whileDialogOpen = [&] { g_fake.startSucceeds = row.kind == Refresh || row.startSucceeds; };
        SignInThroughTheDialog();
        if (row.kind == Refresh) {
            SetSessionInterval(3300000);
            Answer(SignIn, Success);
            g_fake = FakePlatform();
            g_fake.startSucceeds = row.startSucceeds;
            OnRefreshTick();
        }
        SetSessionInterval(row.intervalMs);
        if (row.startSucceeds) Answer(row.kind, row.code);
        const bool background = row.kind == Refresh;
        EXPECT_EQ(OneOrNone(background ? nullptr : row.told), g_fake.boxes);
        EXPECT_EQ(OneOrNone(background ? row.told : nullptr), g_fake.notifications);
        EXPECT_EQ(row.tip ? row.tip : "Pagewren - " + std::string(row.told).substr(0, 20),
                  g_fake.tip.substr(0, row.tip ? std::string::npos : 31));
        EXPECT_EQ(row.timerPeriod ? std::vector<UINT>{row.timerPeriod} : std::vector<UINT>{}, g_fake.timersSet);
        EXPECT_EQ(row.timerPeriod != 0, g_fake.due.count(IDT_REFRESH) == 1);
    }
}

// Outages are ridden out on the back-off, a refresh no later than the token's end; sends that
// went out with the password and got no answer wait for their budget; a dropped session is
// signed in again, told once in the reconnecting notice while the server is away.
TEST_F(ControllerTest, OutagesAreRiddenOutOnTheBackOffWithinTheBudget) {
    SetRecord("pages.example", "/", "", "a@example.com", "secret");
    {
        ScopedLock hold(g_session.lock);
        StoreErrorDescription(g_session, "Locked");
    }
    SignInThroughTheDialog();
    SetSessionInterval(3300000);  // the token runs out in an hour
    Answer(SignIn, Success);
    OnRefreshTick();
    for (UINT wait : {5000u, 10000u, 20000u, 40000u, 60000u, 60000u}) {
        Answer(Refresh, 0);
        EXPECT_EQ(wait, g_fake.retriesSet.back());
        EXPECT_EQ(kReconnecting, g_fake.tip);
        OnRetryTick();
    }
    // Half a minute before the end, the next retry comes at the end rather than a minute later.
    g_fake.now += 3570 * kSecond;
    Answer(Refresh, Failure | ServerUnreachable);
    EXPECT_EQ(30001u, g_fake.retriesSet.back());
    EXPECT_TRUE(g_fake.notifications.empty() && g_fake.boxes.empty());

    // The token has run out: the program signs in again, and the server takes too long.
    g_fake.now += 31 * kSecond;
    OnRetryTick();
    const LPARAM unanswered = Failure | ServerUnreachable | PasswordUnanswered;
    for (UINT wait : {5000u, 10000u, 20000u}) {
        ASSERT_EQ(SignIn, g_fake.started.back());
        g_fake.tick += 1000;
        Answer(SignIn, unanswered);
        EXPECT_EQ(wait, g_fake.retriesSet.back());
        g_fake.tick += wait;
        OnRetryTick();
    }
    // Three sends unanswered within five minutes: the fourth waits until the first is five
    // minutes old. (The walk holds every other road to that budget.)
    const size_t started = g_fake.started.size();
    EXPECT_EQ(5 * 60000u - (5000 + 10000 + 20000 + 2000), g_fake.retriesSet.back());
    EXPECT_EQ(OneOrNone(kReconnectingNotice), g_fake.notifications);
    EXPECT_EQ(kReconnecting, g_fake.tip);
    g_fake.tick += g_fake.retriesSet.back();
    OnRetryTick();
    ASSERT_EQ(started + 1, g_fake.started.size());
    Answer(SignIn, Failure | ServerError);
    EXPECT_EQ((std::vector<std::string>{kReconnectingNotice, kServerErrorLocked}), g_fake.notifications);
}

// At start with "Sign me in automatically": the kept password goes without the dialog (its
// success is the end-to-end story's); refused, the dialog opens at once with its error line and
// nothing goes again; a server that cannot be reached is waited for quietly; without a kept
// password the dialog opens as it always did.
TEST_F(ControllerTest, SignInAtStartSendsTheKeptPasswordOnce) {
    const struct { bool kept; LPARAM signIn; std::vector<LPARAM> dialogs; long signIns; const char* tip; } rows[] = {
        {true, Failure | SignInRefused, {SignInDialogRefused}, 1, kNotSignedIn},
        {true, Failure | ServerUnreachable, {}, 1, kReconnecting},
        {false, 0, {SignInDialogPlain}, 0, kNotSignedIn},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "kept " << row.kept << ", sign-in " << row.signIn);
        g_fake = FakePlatform();
        g_fake.dialogEnd = IDCANCEL;
        g_app.phase = SignInPhase::NotSignedIn;
        SetRecord("pages.example", "/", "", "a@example.com", row.kept ? "secret" : "", true);
        SetAutoSignIn(true);
        g_settings.passwordKept = row.kept;
        SetSessionInterval(60000);
        SignInAtStart();
        Answer(CheckServer, Success);
        if (row.kept) Answer(SignIn, row.signIn);
        EXPECT_EQ(row.dialogs, g_fake.dialogParams);
        EXPECT_EQ(row.signIns, std::count(g_fake.started.begin(), g_fake.started.end(), SignIn));
        EXPECT_TRUE(g_fake.boxes.empty() && g_fake.notifications.empty());
        EXPECT_EQ(row.tip, g_fake.tip);
    }
}

TEST_F(ControllerTest, ServerErrorDescriptionTooLongForTheBoxIsCutBetweenCharacters) {
    // UTF-8 from the server; the box holds 4095 UTF-16 characters, of which 𝄞 would take the
    // last and one more.
    const std::string prefix = "An error occured on the server. ", shown = u8"Łódź " + std::string(4057, 'd');
    {
        ScopedLock hold(g_session.lock);
        StoreErrorDescription(g_session, (shown + u8"𝄞" + std::string(20, 'd')).c_str());
    }
    ReportResult(514, Audience::User);
    EXPECT_EQ(OneOrNone((prefix + shown).c_str()), g_fake.boxes);
}

// The end-to-end tests read each state's tooltip; here the icons.
TEST_F(ControllerTest, TrayLookOfEachStateAndItsRemoval) {
    // The error icon is loaded when first shown.
    const std::pair<TrayState, HICON*> looks[] = {{NotSignedIn, &g_app.signedOutIcon}, {SigningIn, &g_app.signedOutIcon},
                                                  {SignedIn, &g_app.signedInIcon}, {Error, &g_app.errorIcon}};
    for (const auto& [state, icon] : looks) {
        EXPECT_EQ(state == Error, *icon == nullptr) << state;
        g_app.state = state;
        UpdateTrayIcon();
        EXPECT_EQ(DWORD(NIM_MODIFY), g_fake.trayOperations.back());
        EXPECT_EQ(*icon, g_fake.tray.back().hIcon) << state;
        EXPECT_NE(nullptr, *icon) << state;
    }

    // An add that fails because the icon still exists brings it up to date instead.
    g_fake = FakePlatform();
    g_fake.addSucceeds = FALSE;
    g_app.state = SignedIn;
    AddTrayIcon();
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_SETVERSION}), g_fake.trayOperations);
    EXPECT_EQ(kSignedIn, g_fake.tip);

    HICON icon = g_app.signedInIcon;
    RemoveTrayIcon();
    RemoveTrayIcon();
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_SETVERSION, NIM_DELETE, NIM_DELETE}), g_fake.trayOperations);
    EXPECT_TRUE(!g_app.signedInIcon && !g_app.signedOutIcon && !g_app.errorIcon);
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(icon, &info)) << "icon still alive after RemoveTrayIcon";

    NOTIFYICONDATAW data = {};
    SetTrayTip(&data, (std::wstring(126, 'x') + L"a" + std::wstring(73, 'x')).c_str());
    EXPECT_EQ(std::wstring(126, 'x') + L"a", data.szTip);
    SetTrayTip(&data, (std::wstring(126, 'x') + L"\U0001D11E").c_str());
    EXPECT_EQ(std::wstring(126, 'x'), data.szTip) << "cut between characters";
}

// Closes this thread's open message box; set as a thread timer while it is open.
void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowA("#32770", "Pagewren");
    if (!box) return;
    (void)KillTimer(NULL, timer);
    (void)PostMessageA(box, WM_COMMAND, IDOK, 0);
}

int WINAPI RealMessageBoxClosedSoon(HWND owner, LPCWSTR text, LPCWSTR caption, UINT flags) {
    RecordBox(text);
    // Posted before the box opens, so the box's own loop is the one that takes them.
    EXPECT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP_WORKER_RESULT, MAKEWPARAM(CheckServer, g_app.generation), 1));
    EXPECT_NE(0u, SetTimer(NULL, 0, 100, CloseMessageBox));
    return MessageBoxW(owner, text, caption, flags);
}

TEST_F(ControllerTest, ResultsDuringAMessageBoxAreHandledAfterItClosesInOrder) {
    ASSERT_TRUE(InstallResultKeeper());
    ASSERT_TRUE(BeginSignIn());
    g_uiPlatform.messageBox = RealMessageBoxClosedSoon;
    ReportResult(InvalidResponse | Failure, Audience::User);
    EXPECT_TRUE(g_fake.dialogs.empty()) << "no sign-in dialog inside another modal loop";
    HandleKeptResults();
    RemoveResultKeeper();
    EXPECT_EQ(std::vector<UINT>{IDD_SIGNIN}, g_fake.dialogs);
    EXPECT_EQ(std::vector<RequestKind>({CheckServer, SignIn}), g_fake.started) << "the dialog's OK signs in";
}

// An event of the icon in the callback layout of the version agreed with the shell.
LRESULT TrayMouse(UINT event) {
    const bool v4 = g_app.trayVersion == TrayVersion4;
    return MainWindowProc(NULL, WM_APP_TRAY, v4 ? 0u : UINT(TRAY_ICON_ID), v4 ? MAKELPARAM(event, TRAY_ICON_ID) : event);
}

LRESULT Command(WORD command) { return MainWindowProc(NULL, WM_COMMAND, command, 0); }

// The walk reads the menus of every phase, in the oldest layout, and the end-to-end tests sign
// in from a double-click; here each callback layout the shell may agree to, signed in, and the
// pages' addresses.
TEST_F(ControllerTest, RightClickDoubleClickAndPageCommandsInEveryCallbackLayout) {
    SetRecord("pages.example", "/", "", "a@example.com", "secret");
    SetSessionToken("a1+b/c%");  // sent as stored, unescaped
    SetSessionInterval(60000);
    SignInThroughTheDialog();
    Answer(SignIn, Success);
    for (UINT version : {0u, 3u, 4u}) {
        SCOPED_TRACE(::testing::Message() << "version " << version);
        g_fake = FakePlatform();
        // The newest callback layout the shell takes is agreed when the icon is added.
        g_fake.newestVersion = version;
        AddTrayIcon();
        ASSERT_EQ(version, g_app.trayVersion);
        // From version 3 on, the release is followed by WM_CONTEXTMENU: still one menu.
        EXPECT_EQ(0, TrayMouse(WM_RBUTTONUP));
        EXPECT_EQ(0, version ? TrayMouse(WM_CONTEXTMENU) : 0);
        EXPECT_EQ(1u, g_fake.menus.size());
        // Signed in, the double-click opens the current page and starts nothing.
        EXPECT_EQ(0, TrayMouse(WM_LBUTTONDBLCLK));
        EXPECT_TRUE(g_fake.started.empty());
        EXPECT_EQ(std::vector<std::string>{"http://pages.example/tray.php?token=a1+b/c%&action=3"}, g_fake.opened);
    }
    g_fake = FakePlatform();
    SetRecord("pages.example", "/service/", "8080");
    EXPECT_EQ(0, Command(ID_VIEW_ALL_PAGES));
    EXPECT_EQ(std::vector<std::string>{"http://pages.example:8080/service/tray.php?token=a1+b/c%&action=2"}, g_fake.opened);
    g_fake = FakePlatform();
    SetRecord("pages.example", "/", "", "", "", false, true);
    EXPECT_EQ(0, Command(ID_OPEN_CURRENT_PAGE));
    EXPECT_EQ(std::vector<std::string>{"https://pages.example/tray.php?token=a1+b/c%&action=3"}, g_fake.opened);
}

TEST_F(ControllerTest, AboutBoxIsNeverOpenedTwice) {
    bool again = true;
    g_fake.whileDialogOpen = [&] {
        // Once only, so that a missing guard shows as a second box rather than endless recursion.
        if (!again) return;
        again = false;
        EXPECT_EQ(0, Command(IDM_ABOUT));
    };
    EXPECT_EQ(0, Command(IDM_ABOUT));
    EXPECT_EQ(std::vector<UINT>{IDD_ABOUTBOX}, g_fake.dialogs);

    g_fake.whileDialogOpen = nullptr;
    EXPECT_EQ(0, Command(IDM_ABOUT));
    EXPECT_EQ(2u, g_fake.dialogs.size()) << "a closed About box can be opened again";
}

}  // namespace
