#include "app/sign_in_flow.h"

#include "app/address_watch.h"
#include "app/app_state.h"
#include "app/platform_calls.h"
#include "app/report_result.h"
#include "app/tray_icon.h"
#include "net/http_exchange.h"
#include "net/session.h"
#include "net/utc_clock.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "storage/support_log.h"
#include "ui/proxy_prompt.h"
#include "ui/signin_dialog.h"

namespace {

const ResultCode WorkerNotStarted = InternalError | Failure;
const UINT kRetryDelaysMs[] = {5000, 10000, 20000, 40000, 60000};
const unsigned kRetryDelayCount = sizeof kRetryDelaysMs / sizeof kRetryDelaysMs[0];
const int64_t kFileTimeUnitsPerMs = 10000;

// The longest a worker can run: its own exchange and those that may hold the session lock
// before it (one of each other kind and the dialog's credential check), each within the
// deadline, and one deadline more for the rest of its work.
int64_t LongestRun() { return int64_t(5) * EffectiveExchangeDeadlineMs() * kFileTimeUnitsPerMs; }

// Whether kind's worker may still answer. A modal loop that no hook sees can drop a result;
// its kind would wait for ever, so past the longest run the worker counts as finished.
bool Running(RequestKind kind) {
    if (!g_app.requests.marked[kind]) return false;
    const int64_t age = UtcNowCount() - g_app.requests.since[kind];
    return age >= 0 && age <= LongestRun();
}

// The user waits for the sign-in they confirmed in the dialog; the check, the refresh, their
// retries and a sign-in the program started by itself run in the background.
Audience AudienceOf(RequestKind kind) {
    return kind == SignIn && !g_app.quietSignIn ? Audience::User : Audience::Background;
}

// Starts a worker for kind unless one already runs, whose result then serves for both; false,
// with 258 reported, when it cannot start.
bool StartWorker(RequestKind kind) {
    if (Running(kind)) return true;
    if (!g_platform.startRequest(kind, g_app.generation)) {
        ReportResult(WorkerNotStarted, AudienceOf(kind));
        return false;
    }
    g_app.requests.marked[kind] = true;
    g_app.requests.since[kind] = UtcNowCount();
    LogEvent("%s started", RequestKindName(kind));
    return true;
}

// Sets the refresh timer to interval ms (positive), cut to the longest period the timer takes.
bool SetRefreshTimer(int64_t interval) {
    UINT period = interval > MaxTimerPeriodMs ? UINT(MaxTimerPeriodMs) : static_cast<UINT>(interval);
    LogEvent("refresh timer armed: every %u ms", period);
    return g_platform.setTimer(g_app.mainWindow, IDT_REFRESH, period, NULL) != 0;
}

// The token's end is on the server's clock, which this computer's may miss by hours.
bool SessionLapsed() { return ServerNowUtc(g_session) >= ExpiryUtc(g_session); }

void StopRetry() {
    if (g_app.retryKind == 0) return;
    (void)g_platform.killTimer(g_app.mainWindow, IDT_RETRY);
    g_app.retryKind = RequestKind(0);
    g_app.retryCount = 0;
}

// Arms the one-shot retry of kind after the next wait of the back-off. A refresh is retried no
// later than the session's end, so that its loss is told when it happens.
void ScheduleRetry(RequestKind kind) {
    if (g_app.retryKind != kind) g_app.retryCount = 0;
    g_app.retryKind = kind;
    int64_t delay = RetryDelayMs(g_app.retryCount);
    if (g_app.retryCount < kRetryDelayCount) ++g_app.retryCount;
    if (kind == Refresh) {
        const int64_t untilExpiry = (ExpiryUtc(g_session) - ServerNowUtc(g_session)) / kFileTimeUnitsPerMs + 1;
        if (untilExpiry < delay) delay = untilExpiry < 1 ? 1 : untilExpiry;
    }
    // Without the timer nothing would ever try again.
    if (g_platform.setTimer(g_app.mainWindow, IDT_RETRY, static_cast<UINT>(delay), NULL) == 0) {
        g_app.retryKind = RequestKind(0);
        ReportResult(WorkerNotStarted, Audience::Background);
        return;
    }
    LogEvent("retry %u of %s in %u ms", g_app.retryCount, RequestKindName(kind), static_cast<UINT>(delay));
    // Where the system gives no notice of a network coming back, the timer alone retries.
    (void)WatchAddressChanges();
}

void StopRefreshing() {
    StopRetry();
    (void)g_platform.killTimer(g_app.mainWindow, IDT_REFRESH);
}

// The token ran out without a successful refresh, and the program holds no password to sign in
// again with: one box, Error, and no timer left to bring another one; the user signs in again
// from the tray.
void LoseSession() {
    StopRefreshing();
    ReportFailureText(IDS_CONNECTION_LOST, Audience::Background);
}

// A refresh got no usable answer. While the token holds, the program retries quietly, and the
// tray says that it is reconnecting; the retries take the refresh timer's place.
void RideOutOutage() {
    if (g_app.state != SignedIn) return;
    const bool first = g_app.retryKind != Refresh;
    if (first) (void)g_platform.killTimer(g_app.mainWindow, IDT_REFRESH);
    ScheduleRetry(Refresh);
    if (first) UpdateTrayIcon();
}

void EnterSignedIn(RequestKind kind) {
    StopRetry();
    ForgetShownNotice();
    EnterState(SignedIn, "signed in");
    UpdateTrayIcon();
    (void)ArmRefreshTimer(AudienceOf(kind));
}

// The server dropped the session, or its token ran out: the program signs in again by itself
// with the credentials it holds, whether or not they are remembered on disk. Without a password
// it would only be refused, so the user is told instead.
void SignInAgain(const char* cause) {
    StopRefreshing();
    if (!User()[0] || !Password()[0]) {
        LoseSession();
        return;
    }
    EnterState(SigningIn, cause);
    UpdateTrayIcon();
    g_app.quietSignIn = true;
    if (!StartWorker(SignIn)) g_app.quietSignIn = false;
}

// The result of a sign-in the program started by itself. While the server cannot be reached it
// tries again quietly, told once and shown as reconnecting; refused credentials are told as
// refused, whatever the request.
void HandleQuietSignIn(ResultCode result, bool unanswered) {
    if (result == Success) {
        EnterSignedIn(SignIn);
        g_app.quietSignIn = false;
        return;
    }
    if (unanswered) {
        const bool first = g_app.retryKind != SignIn;
        ScheduleRetry(SignIn);
        if (first) ReportFailureText(IDS_RECONNECTING, Audience::Background);
        return;
    }
    g_app.quietSignIn = false;
    StopRetry();
    ReportResult(FailureCategory(result) == SignInRefused ? (Failure | CredentialsRejected)
                 : result == 0                            ? (Failure | InvalidResponse)
                                                          : result,
                 Audience::Background);
}

// The server answered: ask for credentials, then sign in with them.
void RunSignInDialog() {
    StopRetry();
    if (g_app.state != SigningIn) {
        // Greys "Sign In" in the tray menu, so that no second sign-in starts beside this one.
        EnterState(SigningIn, "server answered");
        UpdateTrayIcon();
    }
    g_app.signInDialogOpen = true;
    INT_PTR end = g_platform.dialogBoxParam(g_app.instance, MAKEINTRESOURCEW(IDD_SIGNIN), g_app.mainWindow,
                                            SignInDialogProc, 0);
    g_app.signInDialogOpen = false;
    LogEvent("sign-in dialog closed: %s", end == IDOK ? "OK" : "Cancel");
    if (end != IDOK) {
        EnterState(NotSignedIn, "sign-in dialog cancelled");
        UpdateTrayIcon();
        return;
    }
    // The user tries again, and is told again what goes wrong.
    ForgetShownNotice();
    // Writes only what changed; a failed write must not stop the sign-in.
    (void)g_platform.saveSettings();
    (void)StartWorker(SignIn);
}

// A refresh that failed. Refused credentials, or a server whose identity does not verify,
// would be refused at every try, and each try counts towards a lockout: everything stops until
// the user signs in again. Otherwise the token decides: while it holds, no answer is ridden
// out and any other failure leaves the refresh timer; once it has lapsed, the session is lost.
void HandleRefreshFailure(ResultCode result, bool unanswered) {
    const ResultCode category = FailureCategory(result);
    if (IsFailure(result) && (category == CredentialsRejected || category == IdentityUnverified)) {
        StopRefreshing();
        ReportResult(result, Audience::Background);
        return;
    }
    if (SessionLapsed()) {
        SignInAgain("session lapsed");
        return;
    }
    if (unanswered) {
        RideOutOutage();
        return;
    }
    // An error document to a refresh: the server no longer honours the token.
    if (result == (Failure | ServerError)) {
        SignInAgain("session dropped by the server");
        return;
    }
    const bool reconnecting = g_app.retryKind == Refresh;
    StopRetry();
    ReportResult(result, Audience::Background);
    // The retries had stopped the refresh timer.
    const int64_t interval = RefreshIntervalMs(g_session);
    if (reconnecting && interval > 0) (void)SetRefreshTimer(interval);
}

}  // namespace

UINT RetryDelayMs(unsigned count) { return kRetryDelaysMs[count < kRetryDelayCount ? count : kRetryDelayCount - 1]; }

bool SignInUnderWay() {
    return g_app.state == SigningIn && (g_app.signInDialogOpen || Running(CheckServer) || Running(SignIn));
}

bool BeginSignIn() {
    if (SignInUnderWay()) return true;
    ForgetShownNotice();
    StopRetry();
    // The user's own sign-in: its outcome is told in a box, as they wait for it.
    g_app.quietSignIn = false;
    EnterState(SigningIn, "sign-in begun");
    UpdateTrayIcon();
    return StartWorker(CheckServer);
}

void SignOut() {
    StopRefreshing();
    // Nothing started before this may speak for the session any more.
    ++g_app.generation;
    g_app.requests = RunningRequests();
    g_app.quietSignIn = false;
    ForgetToken(g_session);
    // A store that will not delete leaves nothing the user could act on in a box.
    (void)g_platform.forgetPassword();
    EnterState(NotSignedIn, "signed out");
    UpdateTrayIcon();
}

bool ArmRefreshTimer(Audience audience) {
    int64_t interval = RefreshIntervalMs(g_session);
    if (interval > 0) {
        // Without the timer the session would lapse unnoticed.
        if (!SetRefreshTimer(interval)) {
            ReportResult(WorkerNotStarted, audience);
            return false;
        }
        return true;
    }
    (void)g_platform.killTimer(g_app.mainWindow, IDT_REFRESH);
    ReportResult(TimestampError | Failure, audience);
    return false;
}

void HandleWorkerResult(WPARAM message, LPARAM code) {
    const WPARAM kind = LOWORD(message);
    // After Exit nothing about a worker may show up, though its result can still be queued.
    if (g_app.closing || kind < CheckServer || kind > Refresh) return;
    // Started before the last sign-out.
    if (HIWORD(message) != g_app.generation) return;
    // The late twin of a result handled already, from a worker that had counted as finished.
    if (!g_app.requests.marked[kind]) return;
    g_app.requests.marked[kind] = false;
    const ResultCode result = static_cast<ResultCode>(code);
    LogEvent("%s result: %lu", RequestKindName(kind), static_cast<unsigned long>(result));
    // Asked on the main thread only, when the user turns to the program.
    const bool proxyAsks = IsFailure(result) && FailureCategory(result) == ProxyRefused;
    g_app.proxyAskedBy = proxyAsks ? RequestKind(kind) : RequestKind(0);
    // No answer at all: the network or the server is away, which is no fault of the answer.
    const bool noAnswer = IsFailure(result) && FailureCategory(result) == ServerUnreachable;
    switch (kind) {
    case CheckServer:
        // A check may answer after the session came back by itself; the session stands.
        if (g_app.state == SignedIn) break;
        if (result == Success) {
            RunSignInDialog();
        } else {
            ReportResult(result, Audience::Background);
            // Quiet, as the program may start before the network: the dialog opens once it answers.
            if (noAnswer) ScheduleRetry(CheckServer);
        }
        break;
    case SignIn:
        if (g_app.quietSignIn) {
            HandleQuietSignIn(result, noAnswer);
            break;
        }
        // The user waits for this one, so a box tells what happened, in the words that fit.
        if (result == Success) {
            EnterSignedIn(SignIn);
        } else if (noAnswer) {
            ReportFailureText(IDS_CONNECT_FAILED, Audience::User);
        } else if (result == 0) {
            ReportResult(Failure | InvalidResponse, Audience::User);
        } else {
            ReportResult(result, Audience::User);
        }
        break;
    case Refresh:
        // Only a session that stands is refreshed; a sign-in under way speaks for the next one.
        if (g_app.state == NotSignedIn || g_app.state == SigningIn) break;
        // A page that is no answer document (a captive portal, a proxy's error) is no answer either.
        if (result == Success) {
            EnterSignedIn(Refresh);
        } else {
            HandleRefreshFailure(result, noAnswer || result == 0);
        }
        break;
    }
}

bool AnswerProxy() {
    const RequestKind kind = g_app.proxyAskedBy;
    if (kind == 0) return false;
    g_app.proxyAskedBy = RequestKind(0);
    if (!PromptProxyLogin(g_app.mainWindow)) return false;
    // The request goes again with the proxy's credentials, and its outcome is told afresh.
    ForgetShownNotice();
    if (kind == Refresh && g_app.state != NotSignedIn) return StartWorker(Refresh);
    if (kind == SignIn && g_app.quietSignIn) return StartWorker(SignIn);
    return BeginSignIn();
}

void OnRefreshTick() { (void)StartWorker(Refresh); }

void OnRetryTick() {
    // One-shot: the next failure sets the next wait.
    (void)g_platform.killTimer(g_app.mainWindow, IDT_RETRY);
    switch (g_app.retryKind) {
    case CheckServer:
        if (!StartWorker(CheckServer)) StopRetry();
        break;
    case Refresh:
        if (g_app.state != SignedIn) {
            StopRetry();
        } else if (SessionLapsed()) {
            SignInAgain("session lapsed");
        } else if (!StartWorker(Refresh)) {
            StopRetry();
        }
        break;
    case SignIn:
        if (!g_app.quietSignIn || !StartWorker(SignIn)) StopRetry();
        break;
    default:
        break;
    }
}

void OnWakeUp() {
    LogEvent("wake-up");
    // A retry that waits is due at once; its tick also tells a session that ran out in the sleep.
    if (g_app.state != SignedIn || g_app.retryKind == Refresh) {
        OnRetryTick();
    } else if (SessionLapsed()) {
        SignInAgain("session lapsed");
    } else {
        (void)StartWorker(Refresh);
    }
}

void OnClockChanged() {
    LogEvent("system time changed");
    // The refresh measures the server's clock against the new time of this one.
    if (g_app.state == SignedIn && g_app.retryKind == 0) (void)StartWorker(Refresh);
}
