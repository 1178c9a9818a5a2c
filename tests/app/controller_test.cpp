// The controller through the fake platform table: the sign-in state machine, the failure
// notice, the tray look, the tray's menus and commands, and worker results that land while a
// real message box runs.
#include "fake_platform.h"

#include <algorithm>
#include <string>

#include "app/kept_results.h"
#include "app/main_window.h"
#include "app/message_loop.h"
#include "app/report_result.h"
#include "app/request_thread.h"
#include "app/sign_in_flow.h"
#include "app/tray_icon.h"
#include "app/tray_notice.h"
#include "net/session.h"
#include "res/resource.h"
#include "storage/scoped_lock.h"
#include "storage/settings.h"
#include "storage/storage_test_support.h"
#include "support/texts.h"

namespace {

// Events that do not come from a worker, numbered clear of every worker kind in the table.
enum : WPARAM { StartUp = 100, RefreshTick, SignOutCommand, ClockSet };

// A fresh fake platform and controller in the given state, with no request running.
void Restart(TrayState state) {
    g_fake = FakePlatform();
    g_app.state = state;
    g_app.requests = RunningRequests();
    g_app.lastNotice = 0;
    g_app.retryKind = RequestKind(0);
    g_app.retryCount = 0;
    g_app.quietSignIn = false;
    g_trayNotice = TrayNotice();
}

std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const BoxShown& box : g_fake.boxes) texts.push_back(box.text);
    return texts;
}

std::vector<std::string> OneBoxOrNone(const char* box) {
    return box ? std::vector<std::string>{box} : std::vector<std::string>();
}


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
    // How long before a start-up or refresh tick the request it starts was marked running on
    // the fake clock; -1: not marked. A worker's own result is always waited for.
    int64_t runningForS = -1;
    bool notified = false;  // the box's text comes in a notification instead
};

// While in Error the tooltip says why, in the notification's first words.
const char kWhyUnknown[] = "Pagewren - An unknown error occured.";
const char kWhyTimestamp[] =
    "Pagewren - A timestamp error occured. Please make sure your system time is correct and then retry.";

// The rows the running program cannot reach (a worker that does not start, intervals at the
// timer's limits, results of no known kind); the end-to-end tests drive the everyday ones.
const Transition kTransitions[] = {
    {Error, StartUp, 0, 0, false, 0, Error, {CheckServer}, kUnknown, 0, false, kWhyUnknown, -1, true},
    {SigningIn, CheckServer, 1, IDOK, false, 0, Error, {SignIn}, kUnknown, 0, false, kError},
    {SigningIn, CheckServer, 0, 0, true, 0, SigningIn, {}, nullptr, 0, false, nullptr},
    {Error, Refresh, 1, 0, true, 1, SignedIn, {}, nullptr, 1, false, kSignedIn},
    {SignedIn, Refresh, 1, 0, true, -1, Error, {}, kTimestamp, 0, true, kWhyTimestamp, -1, true},
    {SigningIn, SignIn, 1, 0, true, -1, Error, {}, kTimestamp, 0, true, kError},
    {SigningIn, SignIn, 1, 0, true, 0x7FFFFFFF, SignedIn, {}, nullptr, 0x7FFFFFFF, false, kSignedIn},
    {SignedIn, Refresh, 1, 0, true, 0x80000000LL, SignedIn, {}, nullptr, 0x7FFFFFFF, false, kSignedIn},
    {SignedIn, RefreshTick, 0, 0, false, 0, Error, {Refresh}, kUnknown, 0, false, kWhyUnknown, -1, true},
    // A result that a modal loop dropped leaves its mark; once the worker cannot still be
    // running (five deadlines), the next command or tick starts the request afresh.
    {SigningIn, StartUp, 0, 0, true, 0, SigningIn, {}, nullptr, 0, false, nullptr, 300},
    {SigningIn, StartUp, 0, 0, true, 0, SigningIn, {CheckServer}, nullptr, 0, false, kSigningIn, 301},
    {SignedIn, RefreshTick, 0, 0, true, 0, SignedIn, {Refresh}, nullptr, 0, false, nullptr, 301},
    {SignedIn, 0, 1, 0, true, 60000, SignedIn, {}, nullptr, 0, false, nullptr},
    {SigningIn, 4, 1, 0, true, 60000, SigningIn, {}, nullptr, 0, false, nullptr},
    // Signing out forgets the token and the kept password, quietly; the refresh it cut short then
    // answers while the user signs in again, and speaks for no session.
    {SignedIn, SignOutCommand, 0, 0, true, 60000, SigningIn, {CheckServer}, nullptr, 0, true, kSigningIn},
    {NotSignedIn, Refresh, 1, 0, true, 60000, NotSignedIn, {}, nullptr, 0, false, nullptr},
    // A refresh measures the server's clock against the one the user set; no other state has
    // a session to refresh.
    {SignedIn, ClockSet, 0, 0, true, 60000, SignedIn, {Refresh}, nullptr, 0, false, nullptr},
    {Error, ClockSet, 0, 0, true, 60000, Error, {}, nullptr, 0, false, nullptr},
};

TEST_F(ControllerTest, EveryTransitionLeadsToItsStateAndEffects) {
    for (const Transition& row : kTransitions) {
        SCOPED_TRACE(::testing::Message() << "from " << row.before << ", event " << row.event << ", code "
                                          << row.code << ", interval " << row.intervalMs);
        Restart(row.before);
        if (row.event >= CheckServer && row.event <= Refresh) MarkRunning(RequestKind(row.event));
        if (row.runningForS >= 0) MarkRunning(row.event == StartUp ? CheckServer : Refresh, row.runningForS);
        g_fake.dialogEnd = row.dialogEnd;
        g_fake.startSucceeds = row.startSucceeds;
        SetSessionInterval(row.intervalMs);

        if (row.event == StartUp) {
            (void)BeginSignIn();
        } else if (row.event == RefreshTick) {
            EXPECT_EQ(0, MainWindowProc(NULL, WM_TIMER, IDT_REFRESH, 0));
        } else if (row.event == ClockSet) {
            EXPECT_EQ(0, MainWindowProc(NULL, WM_TIMECHANGE, 0, 0));
        } else if (row.event == SignOutCommand) {
            SetSessionToken("t");
            EXPECT_EQ(0, MainWindowProc(NULL, WM_COMMAND, ID_SIGN_OUT, 0));
            char token[8] = "x";
            CopyToken(g_session, token, sizeof token);
            EXPECT_STREQ("", token);
            EXPECT_EQ(0, MainWindowProc(NULL, WM_APP_TRAY, TRAY_ICON_ID, WM_LBUTTONDBLCLK));
            HandleWorkerResult(MAKEWPARAM(Refresh, g_app.generation - 1), Success);
        } else {
            HandleWorkerResult(row.event, row.code);
        }

        EXPECT_EQ(row.after, g_app.state);
        EXPECT_EQ(row.dialogEnd ? std::vector<UINT>{IDD_SIGNIN} : std::vector<UINT>{}, g_fake.dialogs);
        EXPECT_EQ(row.dialogEnd == IDOK ? 1 : 0, g_fake.saves);
        EXPECT_EQ(row.started, g_fake.started);
        EXPECT_EQ(OneBoxOrNone(row.notified ? nullptr : row.box), BoxTexts());
        EXPECT_EQ(OneBoxOrNone(row.notified ? row.box : nullptr), g_fake.notifications);
        EXPECT_EQ(row.notified ? std::vector<DWORD>{NIIF_ERROR} : std::vector<DWORD>{}, g_fake.notificationIcons);
        EXPECT_EQ(row.timerPeriod ? std::vector<UINT>{row.timerPeriod} : std::vector<UINT>{}, g_fake.timersSet);
        EXPECT_EQ(row.timerKilled ? std::vector<UINT_PTR>{IDT_REFRESH} : std::vector<UINT_PTR>{},
                  g_fake.timersKilled);
        EXPECT_EQ(row.tip ? row.tip : "", LastTrayTip());
        EXPECT_EQ(row.event == SignOutCommand ? 1 : 0, g_fake.passwordsForgotten);
    }
}

const char kServerErrorLocked[] = "An error occured on the server. Locked";

// What a failed refresh leads to while the token holds and after its end, and check results
// that come when the session stands or the sign-in has moved on: the state, the one failure
// told (or none) and the timers left. Each run starts with the refresh timer armed and the
// credentials held; SigningIn after a refresh is the program signing in again by itself.
struct Told { TrayState state; const char* box; std::set<UINT_PTR> timersLeft; };
const struct { TrayState before; RequestKind kind; ResultCode code; Told holds, lapsed; } kFailureRules[] = {
    // Refused credentials and an unverified server would be refused at every try.
    {SignedIn, Refresh, Failure | CredentialsRejected, {Error, kRejected, {}}, {Error, kRejected, {}}},
    {SignedIn, Refresh, Failure | IdentityUnverified, {Error, kIdentityUnverified, {}}, {Error, kIdentityUnverified, {}}},
    // An error document: the server dropped the session.
    {SignedIn, Refresh, Failure | ServerError, {SigningIn, nullptr, {}}, {SigningIn, nullptr, {}}},
    {SignedIn, Refresh, Failure | InvalidResponse, {Error, kInvalid, {IDT_REFRESH}}, {SigningIn, nullptr, {}}},
    {SignedIn, Refresh, Failure | ServerUnreachable, {SignedIn, nullptr, {IDT_RETRY}}, {SigningIn, nullptr, {}}},
    // The session stands; a lost check's late twin opens no second dialog.
    {SignedIn, CheckServer, Failure | ServerUnreachable, {SignedIn, nullptr, {IDT_REFRESH}}, {SignedIn, nullptr, {IDT_REFRESH}}},
    {SigningIn, CheckServer, Success, {SigningIn, nullptr, {IDT_REFRESH}}, {SigningIn, nullptr, {IDT_REFRESH}}},
};

TEST_F(ControllerTest, EveryFailureIsToldOnceAndStopsWhatWouldOnlyRepeatIt) {
    ScopedLock hold(g_session.lock);
    StoreErrorDescription(g_session, "Locked");
    SetRecord("pages.example", "/", "", "a@example.com", "secret");
    for (const auto& row : kFailureRules) {
        for (bool lapsed : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "kind " << row.kind << ", code " << row.code << ", lapsed " << lapsed);
            Restart(row.before);
            g_fake.armed = {IDT_REFRESH};
            SetSessionInterval(lapsed ? -300000 : 60000);
            MarkRunning(row.kind);
            HandleWorkerResult(row.kind, row.code);
            // What the timers left bring next: the same result again; with none, a lost worker's late twin.
            if (g_fake.armed.count(IDT_REFRESH)) OnRefreshTick();
            if (g_fake.armed.count(IDT_RETRY)) OnRetryTick();
            HandleWorkerResult(row.kind, row.code);

            const Told& told = lapsed ? row.lapsed : row.holds;
            EXPECT_EQ(told.state, g_app.state);
            // In the background: a notification, and no box.
            EXPECT_EQ(OneBoxOrNone(told.box), g_fake.notifications);
            EXPECT_TRUE(g_fake.boxes.empty());
            EXPECT_EQ(told.timersLeft, g_fake.armed);
            EXPECT_EQ(row.before == SigningIn ? 1u : 0u, g_fake.dialogs.size());
            // The dialog's OK, or the program on its own after a refresh.
            const bool signsIn = row.before == SigningIn || told.state == SigningIn;
            EXPECT_EQ(signsIn ? 1 : 0, std::count(g_fake.started.begin(), g_fake.started.end(), SignIn));
        }
    }
}

const int64_t kSecond = 10000000;  // in the clock's units

const char kReconnectingNotice[] =
    "Pagewren has lost connection to the server. It signs you in again as soon as the server can be reached.";

// A session the server dropped or that lapsed is signed in again with the credentials held: no
// dialog, no box while it succeeds or the server is away (told once, shown as reconnecting,
// retried on the back-off and at a wake-up), and its own failure told once in its own words.
TEST_F(ControllerTest, DroppedOrLapsedSessionIsSignedInAgainByItself) {
    enum Trigger { Dropped, LapsedWhileUnreachable, LapsedAtRetryTick, LapsedAtWakeUp };
    const LPARAM kAway = Failure | ServerUnreachable;
    // The results of the sign-ins that follow the trigger, in turn, and what the user is told
    // then in a notification, and the tooltip (nullptr: the notification's first words).
    const struct { Trigger trigger; std::vector<LPARAM> signIns; TrayState after; const char *told, *tip; } rows[] = {
        {Dropped, {Success}, SignedIn, nullptr, kSignedIn},
        {Dropped, {Failure | ServerError}, Error, kServerErrorLocked, nullptr},
        {LapsedAtWakeUp, {Failure | SignInRefused}, Error, kRejected, nullptr},
        {LapsedAtRetryTick, {kAway, kAway, Success}, SignedIn, kReconnectingNotice, kSignedIn},
        {LapsedWhileUnreachable, {kAway, kAway}, Error, kReconnectingNotice, kReconnecting},
    };
    ScopedLock hold(g_session.lock);
    StoreErrorDescription(g_session, "Locked");
    SetRecord("pages.example", "/", "", "a@example.com", "secret");
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "trigger " << row.trigger << ", sign-ins " << row.signIns.size());
        Restart(SignedIn);
        SetSessionInterval(row.trigger == Dropped ? 60000 : -300000);
        g_app.retryKind = row.trigger == LapsedAtRetryTick ? Refresh : RequestKind(0);
        if (row.trigger == LapsedAtRetryTick) OnRetryTick();
        if (row.trigger == LapsedAtWakeUp) OnWakeUp();
        if (row.trigger <= LapsedWhileUnreachable) {
            MarkRunning(Refresh);
            HandleWorkerResult(Refresh, row.trigger == Dropped ? Failure | ServerError : kAway);
        }
        for (size_t i = 0; i < row.signIns.size(); ++i) {
            ASSERT_EQ(SignIn, g_fake.started.back());
            if (row.signIns[i] == Success) SetSessionInterval(60000);  // the new token's
            HandleWorkerResult(SignIn, row.signIns[i]);
            // The wait ends by its tick, or at once by a wake-up.
            if (g_fake.armed.count(IDT_RETRY)) (i % 2 ? OnWakeUp() : OnRetryTick());
        }
        EXPECT_EQ(row.after, g_app.state);
        std::vector<std::string> told = OneBoxOrNone(row.told);
        if (row.told && row.after == SignedIn) told.push_back("");  // the success removes it
        EXPECT_EQ(told, g_fake.notifications);
        EXPECT_TRUE(g_fake.boxes.empty());
        EXPECT_EQ((row.tip ? row.tip : "Pagewren - " + std::string(row.told)).substr(0, 36), LastTrayTip().substr(0, 36));
        const size_t signIns = row.signIns.size() + (row.after == Error && row.signIns.size() > 1);
        EXPECT_EQ(signIns, size_t(std::count(g_fake.started.begin(), g_fake.started.end(), SignIn)));
        EXPECT_TRUE(g_fake.dialogs.empty());
        EXPECT_EQ(row.after == SignedIn, g_fake.armed.count(IDT_REFRESH) == 1);
    }
}

// Retry ticks and results of the retried request until the wait settles.
void FailRetriesUntilTheWaitSettles(RequestKind kind, LPARAM code) {
    for (UINT wait : {10000u, 20000u, 40000u, 60000u, 60000u}) {
        OnRetryTick();
        EXPECT_EQ(kind, g_fake.started.back());
        HandleWorkerResult(kind, code);
        EXPECT_EQ(wait, g_fake.retriesSet.back());
    }
}

TEST_F(ControllerTest, RefreshOutageIsRiddenOutQuietlyUntilTheTokenRunsOut) {
    g_app.state = SignedIn;
    SetSessionInterval(3300000);  // the token runs out in an hour
    MarkRunning(Refresh);
    HandleWorkerResult(Refresh, Failure | ServerUnreachable);
    EXPECT_EQ(SignedIn, g_app.state);
    EXPECT_EQ(kReconnecting, LastTrayTip());
    EXPECT_EQ(std::set<UINT_PTR>{IDT_RETRY}, g_fake.armed) << "the retries take the refresh timer's place";
    EXPECT_EQ(std::vector<UINT>{5000}, g_fake.retriesSet);
    // A page that is no answer document counts as no answer too.
    FailRetriesUntilTheWaitSettles(Refresh, 0);

    // Two wake-up notices while the retry runs start one refresh.
    OnRetryTick();
    const size_t started = g_fake.started.size();
    OnWakeUp();
    OnWakeUp();
    EXPECT_EQ(started, g_fake.started.size());
    // Half a minute before the end, the next retry comes at the end rather than a minute later.
    g_fake.now += 3570 * kSecond;
    HandleWorkerResult(Refresh, Failure | ServerUnreachable);
    EXPECT_EQ(30001u, g_fake.retriesSet.back());
    EXPECT_TRUE(g_fake.boxes.empty());

    g_fake.now += 31 * kSecond;
    OnRetryTick();
    EXPECT_EQ(OneBoxOrNone(kConnectionLost), g_fake.notifications);
    EXPECT_EQ(Error, g_app.state);
    // Its line break a space, cut to the tooltip's 127 characters.
    EXPECT_EQ("Pagewren - Pagewren has lost connection to the server. Please double click the Pagewren tray icon "
              "or select \"Sign In\" from the ", LastTrayTip());
    EXPECT_TRUE(g_fake.armed.empty());
    // One outage, one box: nothing after it brings a second.
    HandleWorkerResult(Refresh, Failure | ServerUnreachable);
    OnRetryTick();
    OnWakeUp();
    EXPECT_EQ(1u, g_fake.notifications.size());
    EXPECT_EQ(started, g_fake.started.size());
}

// The end-to-end tests see a retry succeed; here a real answer and a sleep past the token.
TEST_F(ControllerTest, RealAnswerEndsTheRetriesAndAWakeUpAfterTheTokenSaysItIsLost) {
    g_app.state = SignedIn;
    SetSessionInterval(60000);
    MarkRunning(Refresh);
    HandleWorkerResult(Refresh, 0);
    MarkRunning(Refresh);
    HandleWorkerResult(Refresh, Failure | InvalidResponse);
    EXPECT_EQ(OneBoxOrNone(kInvalid), g_fake.notifications);
    EXPECT_EQ(std::set<UINT_PTR>{IDT_REFRESH}, g_fake.armed) << "while the token holds, the refresh timer runs again";
    // Out of SignedIn, no answer to a refresh changes nothing.
    MarkRunning(Refresh);
    HandleWorkerResult(Refresh, Failure | ServerUnreachable);
    EXPECT_EQ(std::set<UINT_PTR>{IDT_REFRESH}, g_fake.armed);

    g_app.state = SignedIn;
    g_fake.now += 3600 * kSecond;
    OnWakeUp();
    EXPECT_EQ((std::vector<std::string>{kInvalid, kConnectionLost}), g_fake.notifications);
    EXPECT_TRUE(g_fake.started.empty() && g_fake.armed.empty());
}

TEST_F(ControllerTest, UnansweredCheckIsRetriedQuietlyAndAtOnceOnAWakeUp) {
    EXPECT_TRUE(BeginSignIn());
    HandleWorkerResult(CheckServer, Failure | ServerUnreachable);
    EXPECT_EQ(Error, g_app.state);
    EXPECT_EQ(std::vector<UINT>{5000}, g_fake.retriesSet);
    OnWakeUp();
    OnWakeUp();
    EXPECT_EQ((std::vector<RequestKind>{CheckServer, CheckServer}), g_fake.started);
    FailRetriesUntilTheWaitSettles(CheckServer, Failure | ServerUnreachable);
    EXPECT_TRUE(g_fake.boxes.empty());
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
    EXPECT_EQ(OneBoxOrNone((prefix + shown).c_str()), BoxTexts());
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
    EXPECT_EQ(kSignedIn, LastTrayTip());

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
    RecordBox(text, flags);
    // Posted before the box opens, so the box's own loop is the one that takes them.
    EXPECT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP_WORKER_RESULT, CheckServer, 1));
    EXPECT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP_WORKER_RESULT, SignIn, 1));
    EXPECT_NE(0u, SetTimer(NULL, 0, 100, CloseMessageBox));
    return MessageBoxW(owner, text, caption, flags);
}

TEST_F(ControllerTest, ResultsDuringAMessageBoxAreHandledAfterItClosesInOrder) {
    ASSERT_TRUE(InstallResultKeeper());
    MarkRunning(CheckServer);
    MarkRunning(SignIn);
    g_uiPlatform.messageBox = RealMessageBoxClosedSoon;
    g_fake.dialogEnd = IDCANCEL;
    SetSessionInterval(60000);
    ReportResult(InvalidResponse | Failure, Audience::User);
    EXPECT_TRUE(g_fake.dialogs.empty()) << "no sign-in dialog inside another modal loop";
    HandleKeptResults();
    RemoveResultKeeper();
    EXPECT_EQ(std::vector<UINT>{IDD_SIGNIN}, g_fake.dialogs);
    EXPECT_EQ(SignedIn, g_app.state) << "the sign-in came after the cancelled dialog";
    EXPECT_EQ(std::vector<UINT>{60000}, g_fake.timersSet);
}


// An event of the icon in the callback layout of the version agreed with the shell.
LRESULT TrayMouse(UINT event) {
    const bool v4 = g_app.trayVersion == TrayVersion4;
    return MainWindowProc(NULL, WM_APP_TRAY, v4 ? 0u : UINT(TRAY_ICON_ID), v4 ? MAKELPARAM(event, TRAY_ICON_ID) : event);
}

LRESULT Command(WORD command) { return MainWindowProc(NULL, WM_COMMAND, command, 0); }

TEST_F(ControllerTest, RightClickDoubleClickAndPageCommandsActByState) {
    SetRecord("pages.example", "/", "");
    SetSessionToken("a1+b/c%");  // sent as stored, unescaped
    const struct {
        TrayState state;
        UINT defaultItem;
        bool hasSignIn;
        bool signInGreyed;
        std::vector<RequestKind> doubleClickStarts;
        TrayState afterDoubleClick;
        std::vector<std::string> doubleClickOpens;
    } rows[] = {
        {NotSignedIn, ID_SIGN_IN, true, false, {CheckServer}, SigningIn, {}},
        {SigningIn, ID_SIGN_IN, true, true, {}, SigningIn, {}},
        {SignedIn, ID_OPEN_CURRENT_PAGE, false, false, {}, SignedIn,
         {"http://pages.example/tray.php?token=a1+b/c%&action=3"}},
        {Error, ID_SIGN_IN, true, false, {CheckServer}, SigningIn, {}},
    };
    for (UINT version : {0u, 3u, 4u}) for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.state << ", version " << version);
        Restart(row.state);
        // The newest callback layout the shell takes is agreed when the icon is added.
        g_fake.newestVersion = version;
        AddTrayIcon();
        ASSERT_EQ(version, g_app.trayVersion);
        // The check of the sign-in under way.
        if (row.state == SigningIn) MarkRunning(CheckServer);
        // From version 3 on, the release is followed by WM_CONTEXTMENU: still one menu.
        EXPECT_EQ(0, TrayMouse(WM_RBUTTONUP));
        EXPECT_EQ(0, version ? TrayMouse(WM_CONTEXTMENU) : 0);
        ASSERT_EQ(1u, g_fake.menus.size());
        EXPECT_EQ(row.defaultItem, g_fake.menus[0].defaultCommand);
        EXPECT_EQ(row.hasSignIn, g_fake.menus[0].hasSignIn);
        EXPECT_EQ(row.signInGreyed, g_fake.menus[0].signInGreyed);
        EXPECT_TRUE(g_fake.started.empty()) << "the menu alone starts nothing";

        EXPECT_EQ(0, TrayMouse(WM_LBUTTONDBLCLK));
        EXPECT_EQ(row.doubleClickStarts, g_fake.started);
        EXPECT_EQ(row.afterDoubleClick, g_app.state);
        EXPECT_EQ(row.doubleClickOpens, g_fake.opened);
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

// A click on a notification about refused credentials starts the sign-in, on another it only
// closes it; a success removes one still showing; without a notification area a box tells.
TEST_F(ControllerTest, NotificationLeadsToTheSignInGoesWithTheFailureAndIsABoxWithoutATray) {
    SetSessionInterval(60000);
    g_app.trayVersion = TrayVersion4;
    // shown: what the shell answers to the notification; started: requests after the click.
    const struct { ResultCode code; bool click; unsigned trayRefusals; BOOL shown; size_t started;
                   std::vector<std::string> told; } rows[] = {
        {Failure | InvalidResponse, true, 0, TRUE, 0, {kInvalid}},
        {Failure | CredentialsRejected, true, 0, TRUE, 1, {kRejected}},
        {Failure | InvalidResponse, false, 0, TRUE, 0, {kInvalid, ""}},
        {Failure | InvalidResponse, false, 0, FALSE, 0, {kInvalid}},
        {Failure | InvalidResponse, false, 1, TRUE, 0, {}},
    };
    for (const auto& row : rows) {
        Restart(SignedIn);
        g_app.trayRefusals = row.trayRefusals;
        g_fake.notificationSucceeds = row.shown;
        MarkRunning(Refresh);
        HandleWorkerResult(Refresh, row.code);
        EXPECT_EQ(0, row.click ? TrayMouse(NIN_BALLOONUSERCLICK) : 0);
        EXPECT_EQ(row.started, g_fake.started.size());
        // The sign-in a click started ends it, or else the next refresh.
        const RequestKind next = g_app.state == SigningIn ? SignIn : Refresh;
        MarkRunning(next);
        HandleWorkerResult(next, Success);
        EXPECT_EQ(row.told, g_fake.notifications);
        EXPECT_EQ(OneBoxOrNone(row.shown && !row.trayRefusals ? nullptr : kInvalid), BoxTexts());
        EXPECT_EQ(kSignedIn, LastTrayTip());
    }
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
