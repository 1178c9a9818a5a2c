#include "app/sign_in_flow.h"

#include "app/address_watch.h"
#include "app/app_state.h"
#include "app/platform_calls.h"
#include "app/report_result.h"
#include "app/tray_icon.h"
#include "app/tray_notice.h"
#include "net/http_exchange.h"
#include "net/session.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "storage/support_log.h"
#include "ui/signin_dialog.h"

#include <string.h>

namespace {

typedef SignInPhase Phase;

const ResultCode WorkerNotStarted = InternalError | Failure;
const UINT kRetryDelaysMs[] = {5000, 10000, 20000, 40000, 60000};
const unsigned kRetryDelayCount = sizeof kRetryDelaysMs / sizeof kRetryDelaysMs[0];
const DWORD kFiveMinutesMs = 5 * 60 * 1000;
const DWORD kHourMs = 60 * 60 * 1000;
const int64_t kFileTimeUnitsPerMs = 10000;

// What a worker's result means for the next step.
enum class Answer {
    Success,
    // Nothing usable came: no connection, a time-out, a cut or oversized body, or a page that is
    // no answer document (a captive portal's, a proxy's or a load balancer's).
    NoAnswer,
    Refused,        // the server refused the password (401)
    ProxyAsks,      // a proxy asks for its own sign-in (407)
    ErrorDocument,  // the server's own error document
    Failed,         // anything else: the server's identity, the clock, the program itself
};

Answer Classify(ResultCode code) {
    if (code == Success) return Answer::Success;
    if (!IsFailure(code)) return Answer::NoAnswer;
    switch (FailureCategory(code)) {
    case ServerUnreachable:
    case InvalidResponse:
        return Answer::NoAnswer;
    case SignInRefused:
    case CredentialsRejected:
        return Answer::Refused;
    case ProxyRefused:
        return Answer::ProxyAsks;
    case ServerError:
        return Answer::ErrorDocument;
    default:
        return Answer::Failed;
    }
}

const char* PhaseName(Phase phase) {
    static const char* const names[] = {"NotSignedIn", "Checking",  "AskingUser",   "SigningInForUser",
                                        "SigningInByItself", "SignedIn", "Reconnecting", "WaitingForProxy",
                                        "WaitingForUser"};
    const unsigned index = static_cast<unsigned>(phase);
    return index < sizeof names / sizeof names[0] ? names[index] : "unknown";
}

bool WaitsOutOutages(Phase phase) {
    return phase == Phase::Checking || phase == Phase::SigningInByItself || phase == Phase::Reconnecting;
}

DWORD TickNow() { return g_platform.tickCount(); }

// The longest a worker can run: its own exchange and those that may hold the session lock
// before it (one of each other kind and the dialog's credential check), each within the
// deadline, and one deadline more for the rest of its work.
DWORD LongestRunMs() { return 5 * EffectiveExchangeDeadlineMs(); }

// Whether kind's worker may still answer. A modal loop that no hook sees can drop a result;
// its kind would wait for ever, so past the longest run the worker counts as finished. Tick
// differences survive the count's wrap, and no setting of the clock moves them.
bool Running(RequestKind kind) {
    return g_app.requests.marked[kind] && TickNow() - g_app.requests.since[kind] <= LongestRunMs();
}

// Starts a worker for kind unless one already runs, whose result then serves; false when it
// cannot start.
bool StartWorker(RequestKind kind) {
    if (Running(kind)) return true;
    if (!g_platform.startRequest(kind, g_app.generation)) return false;
    g_app.requests.marked[kind] = true;
    g_app.requests.since[kind] = TickNow();
    LogEvent("%s started", RequestKindName(kind));
    return true;
}

// Moves to next. Only a session keeps the refresh timer, and only a phase that waits out an
// outage keeps the retry timer and its back-off: whatever the road, nothing outlives its phase.
void Enter(Phase next, const char* cause) {
    if (next != Phase::SignedIn) (void)g_platform.killTimer(g_app.mainWindow, IDT_REFRESH);
    if (next != g_app.phase || !WaitsOutOutages(next)) {
        (void)g_platform.killTimer(g_app.mainWindow, IDT_RETRY);
        g_app.retryCount = 0;
    }
    if (next != Phase::Checking && next != Phase::SigningInByItself && next != Phase::WaitingForProxy)
        g_app.signInAtStart = false;
    if (next != g_app.phase) LogEvent("phase %s -> %s: %s", PhaseName(g_app.phase), PhaseName(next), cause);
    g_app.phase = next;
}

// Moves to next with the tray showing look.
void Show(Phase next, TrayState look, const char* cause) {
    Enter(next, cause);
    EnterState(look, cause);
    UpdateTrayIcon();
}

// A failure only the user can mend: nothing runs any more, and the user is told, in a box when
// they wait for it, else in a notice whose click opens the sign-in.
void WaitForUser(ResultCode code, Audience audience) {
    Enter(Phase::WaitingForUser, "failure told");
    ReportResult(code, audience);
}

// As WaitForUser, in the words of the string textId.
void WaitForUserText(UINT textId, Audience audience) {
    Enter(Phase::WaitingForUser, "failure told");
    ReportFailureText(textId, audience);
}

// A proxy asks for its own sign-in. Nothing goes out until the user answers Windows' prompt,
// which a click on the notice or on the icon opens; the answer resumes the road that met it.
void WaitForProxy(ResultCode code, Audience audience) {
    g_app.proxyMetIn = g_app.phase;
    Enter(Phase::WaitingForProxy, "a proxy asks for its sign-in");
    ReportResult(code, audience);
}

// The token's end is on the server's clock, which this computer's may miss by hours.
bool SessionLapsed() { return ServerNowUtc(g_session) >= ExpiryUtc(g_session); }

// The wait until one more send with the password may go out, 0 when it may now: the sends
// that got no answer may have been refused, and a lockout counts every refusal.
DWORD BudgetWaitMs() {
    const UnansweredSends& sends = g_app.unanswered;
    const DWORD now = TickNow();
    DWORD wait = 0;
    if (sends.count >= UnansweredPerFiveMinutes) {
        const DWORD age = now - sends.at[sends.count - UnansweredPerFiveMinutes];
        if (age < kFiveMinutesMs) wait = kFiveMinutesMs - age;
    }
    if (sends.count >= UnansweredPerHour) {
        const DWORD age = now - sends.at[0];
        if (age < kHourMs && kHourMs - age > wait) wait = kHourMs - age;
    }
    return wait;
}

void NoteUnansweredSend() {
    UnansweredSends& sends = g_app.unanswered;
    if (sends.count == UnansweredPerHour) {
        memmove(sends.at, sends.at + 1, sizeof sends.at - sizeof sends.at[0]);
        --sends.count;
    }
    sends.at[sends.count++] = TickNow();
}

// Arms the one-shot retry timer for delay ms; without it nothing would try again, so a
// refusal is told and the user takes over.
bool ArmRetry(DWORD delay) {
    if (g_platform.setTimer(g_app.mainWindow, IDT_RETRY, delay, NULL) != 0) {
        // Where the system gives no notice of a network coming back, the timer alone retries.
        (void)WatchAddressChanges();
        return true;
    }
    WaitForUser(WorkerNotStarted, Audience::Background);
    return false;
}

// Waits out an outage in the current phase, the next wait of the back-off; a refresh no later
// than the token's end, so that its loss is told when it happens.
bool ScheduleRetry() {
    DWORD delay = RetryDelayMs(g_app.retryCount);
    if (g_app.retryCount < kRetryDelayCount) ++g_app.retryCount;
    if (g_app.phase == Phase::Reconnecting) {
        const int64_t untilExpiry = (ExpiryUtc(g_session) - ServerNowUtc(g_session)) / kFileTimeUnitsPerMs + 1;
        if (untilExpiry < delay) delay = untilExpiry < 1 ? 1 : static_cast<DWORD>(untilExpiry);
    }
    const RequestKind kind = g_app.phase == Phase::Checking       ? CheckServer
                             : g_app.phase == Phase::Reconnecting ? Refresh
                                                                  : SignIn;
    LogEvent("retry %u of %s in %lu ms", g_app.retryCount, RequestKindName(kind), static_cast<unsigned long>(delay));
    return ArmRetry(delay);
}

// Sends kind's request with the password on the program's own account. Past the budget of
// sends that got no answer, the request waits on the retry timer until the budget allows it.
void SendByItself(RequestKind kind) {
    const DWORD wait = BudgetWaitMs();
    if (wait == 0) {
        if (!StartWorker(kind)) WaitForUser(WorkerNotStarted, Audience::Background);
        return;
    }
    LogEvent("%s waits %lu ms: sends without an answer", RequestKindName(kind), static_cast<unsigned long>(wait));
    if (g_app.phase == Phase::SignedIn) Show(Phase::Reconnecting, SignedIn, "sends without an answer");
    (void)ArmRetry(wait);
}

// The server dropped the session, or its token ran out: the program signs in again by itself
// with the credentials it holds, whether or not they are remembered on disk. Without a password
// it would only be refused: the user is told instead.
void SignInAgain(const char* cause) {
    if (!User()[0] || !Password()[0]) {
        WaitForUserText(IDS_CONNECTION_LOST, Audience::Background);
        return;
    }
    Show(Phase::SigningInByItself, SigningIn, cause);
    SendByItself(SignIn);
}

// Refreshes the session on the program's own account, or signs in again once its token ran out.
void RefreshByItself() {
    if (SessionLapsed()) {
        SignInAgain("session lapsed");
    } else {
        SendByItself(Refresh);
    }
}

// Sets the refresh timer to interval ms (positive), cut to the longest period the timer takes.
bool SetRefreshTimer(int64_t interval) {
    UINT period = interval > MaxTimerPeriodMs ? UINT(MaxTimerPeriodMs) : static_cast<UINT>(interval);
    LogEvent("refresh timer armed: every %u ms", period);
    return g_platform.setTimer(g_app.mainWindow, IDT_REFRESH, period, NULL) != 0;
}

// A token came. The refresh timer keeps it; an expiry already past on the server's clock
// cannot be kept, and neither can a session without the timer.
void EnterSignedIn(Audience audience) {
    ForgetShownNotice();
    Show(Phase::SignedIn, SignedIn, "signed in");
    const int64_t interval = RefreshIntervalMs(g_session);
    if (interval <= 0) {
        WaitForUser(TimestampError | Failure, audience);
    } else if (!SetRefreshTimer(interval)) {
        WaitForUser(WorkerNotStarted, audience);
    }
}

// No usable answer came to a request the program makes by itself: it tries again on the
// back-off, told once and shown as reconnecting, as long as it holds what it needs.
void RideOut() {
    switch (g_app.phase) {
    case Phase::Checking:
        // Quiet, as the program may start before the network: the dialog opens once it answers.
        EnterState(Error, "server not answering");
        if (ScheduleRetry()) UpdateTrayIcon();
        break;
    case Phase::SigningInByItself: {
        const bool first = g_app.retryCount == 0;
        if (!ScheduleRetry() || !first) break;
        // At start nothing was lost: quiet, as for the check.
        if (g_app.signInAtStart) {
            EnterState(Error, "server not answering");
            UpdateTrayIcon();
        } else {
            ReportFailureText(IDS_RECONNECTING, Audience::Background);
        }
        break;
    }
    default:
        if (SessionLapsed()) {
            SignInAgain("session lapsed");
            break;
        }
        // The retries take the refresh timer's place while the token holds.
        if (g_app.phase == Phase::SignedIn) Show(Phase::Reconnecting, SignedIn, "no answer to the refresh");
        (void)ScheduleRetry();
        break;
    }
}

// Asks for credentials, then signs in with them; opening is SignInDialogPlain, or
// SignInDialogRefused to show at once that the password it holds was refused.
void RunSignInDialog(LPARAM opening) {
    Show(Phase::AskingUser, SigningIn, "asking the user");
    const INT_PTR end = g_platform.dialogBoxParam(g_app.instance, MAKEINTRESOURCEW(IDD_SIGNIN), g_app.mainWindow,
                                                  SignInDialogProc, opening);
    LogEvent("sign-in dialog closed: %s", end == IDOK ? "OK" : "Cancel");
    if (g_app.closing) return;
    if (end != IDOK) {
        Show(Phase::NotSignedIn, NotSignedIn, "sign-in dialog cancelled");
        return;
    }
    // The user tries again, and is told again what goes wrong.
    ForgetShownNotice();
    // Writes only what changed; a failed write must not stop the sign-in.
    (void)g_platform.saveSettings();
    Show(Phase::SigningInForUser, SigningIn, "sign-in confirmed");
    if (!StartWorker(SignIn)) WaitForUser(WorkerNotStarted, Audience::User);
}

// Whether the phase waits for kind's worker; any other result speaks for a road left behind.
bool Awaits(RequestKind kind) {
    switch (g_app.phase) {
    case Phase::Checking:
        return kind == CheckServer;
    case Phase::SigningInForUser:
    case Phase::SigningInByItself:
        return kind == SignIn;
    case Phase::SignedIn:
    case Phase::Reconnecting:
        return kind == Refresh;
    default:
        return false;
    }
}

// What a result leads to, by what it means and the phase that waited for it. The user waits
// for the sign-in they confirmed, so a box tells its outcome; the rest runs in the background.
void OnResult(ResultCode code) {
    const Audience audience = g_app.phase == Phase::SigningInForUser ? Audience::User : Audience::Background;
    switch (Classify(code)) {
    case Answer::Success:
        if (g_app.phase == Phase::Checking && g_app.signInAtStart) {
            LogEvent("sign-in at start: by itself, with the password Windows keeps");
            Show(Phase::SigningInByItself, SigningIn, "server answered");
            SendByItself(SignIn);
        } else if (g_app.phase == Phase::Checking) {
            RunSignInDialog(SignInDialogPlain);
        } else {
            EnterSignedIn(audience);
        }
        break;
    case Answer::NoAnswer:
        if (audience == Audience::Background) {
            RideOut();
        } else if (FailureCategory(code) == ServerUnreachable) {
            WaitForUserText(IDS_CONNECT_FAILED, audience);
        } else {
            WaitForUser(Failure | InvalidResponse, audience);
        }
        break;
    case Answer::Refused:
        // The password Windows kept was changed on the web: the user is asked at once.
        if (g_app.signInAtStart) {
            RunSignInDialog(SignInDialogRefused);
            break;
        }
        // In the background told as refused credentials, whatever the request.
        WaitForUser(audience == Audience::User ? code : Failure | CredentialsRejected, audience);
        break;
    case Answer::ProxyAsks:
        WaitForProxy(code, audience);
        break;
    case Answer::ErrorDocument:
        // To a refresh: the server no longer honours the token.
        if (g_app.phase == Phase::SignedIn || g_app.phase == Phase::Reconnecting) {
            SignInAgain("session dropped by the server");
        } else {
            WaitForUser(code, audience);
        }
        break;
    case Answer::Failed:
        WaitForUser(code, audience);
        break;
    }
}

// The server check, then the dialog, or with atStart the program's own sign-in; false (and 258
// told) when the check cannot start.
bool StartCheck(bool atStart) {
    ForgetShownNotice();
    // Nothing started before this speaks for the sign-in that begins now.
    ++g_app.generation;
    g_app.requests = RunningRequests();
    Show(Phase::Checking, SigningIn, "sign-in begun");
    g_app.signInAtStart = atStart;
    if (StartWorker(CheckServer)) return true;
    WaitForUser(WorkerNotStarted, Audience::Background);
    return false;
}

// Repeats the request of the phase that waits out an outage, unless it runs already.
void RetryNow() {
    switch (g_app.phase) {
    case Phase::Checking:
        if (!StartWorker(CheckServer)) WaitForUser(WorkerNotStarted, Audience::Background);
        break;
    case Phase::SigningInByItself:
        if (!Running(SignIn)) SendByItself(SignIn);
        break;
    case Phase::Reconnecting:
        if (!Running(Refresh)) RefreshByItself();
        break;
    default:
        break;
    }
}

// After a proxy asked: Windows' prompt, then the road that met the proxy goes on with its
// credentials. Cancelled, the program keeps waiting; the icon asks again.
void AnswerProxy() {
    if (!g_platform.promptProxyLogin(g_app.mainWindow)) return;
    ForgetShownNotice();
    switch (g_app.proxyMetIn) {
    case Phase::SignedIn:
    case Phase::Reconnecting:
        if (!SessionLapsed()) Show(Phase::SignedIn, SignedIn, "proxy answered");
        RefreshByItself();
        break;
    case Phase::SigningInByItself:
        Show(Phase::SigningInByItself, SigningIn, "proxy answered");
        SendByItself(SignIn);
        break;
    default:
        // The check again, and then what it was for.
        (void)StartCheck(g_app.signInAtStart);
        break;
    }
}

}  // namespace

UINT RetryDelayMs(unsigned count) { return kRetryDelaysMs[count < kRetryDelayCount ? count : kRetryDelayCount - 1]; }

bool SignInUnderWay() {
    switch (g_app.phase) {
    case Phase::AskingUser:
        return true;
    case Phase::Checking:
        return Running(CheckServer);
    case Phase::SigningInForUser:
    case Phase::SigningInByItself:
        return Running(SignIn);
    default:
        return false;
    }
}

bool BeginSignIn() {
    if (SignInUnderWay()) return true;
    // The user asked: the dialog, whatever the option.
    return StartCheck(false);
}

void SignInAtStart() {
    const bool byItself = AutoSignIn() && User()[0] && PasswordKept();
    LogEvent("sign-in at start: %s", byItself ? "by itself once the server answers" : "with the dialog");
    (void)StartCheck(byItself);
}

void SignOut() {
    // Nothing started before this may speak for the session any more.
    ++g_app.generation;
    g_app.requests = RunningRequests();
    ForgetToken(g_session);
    // A store that will not delete leaves nothing the user could act on in a box.
    (void)g_platform.forgetPassword();
    Show(Phase::NotSignedIn, NotSignedIn, "signed out");
}

void HandleWorkerResult(WPARAM message, LPARAM code) {
    const WPARAM kind = LOWORD(message);
    // After Exit nothing about a worker may show up, though its result can still be queued.
    if (g_app.closing || kind < CheckServer || kind > Refresh) return;
    const ResultCode result = static_cast<ResultCode>(code);
    // Whatever became of its session, a send that may have been refused counts.
    if (IsFailure(result) && (result & PasswordUnanswered)) NoteUnansweredSend();
    // Started before the last sign-out or sign-in, or the late twin of a result handled already.
    if (HIWORD(message) != g_app.generation || !g_app.requests.marked[kind]) return;
    g_app.requests.marked[kind] = false;
    LogEvent("%s result: %lu", RequestKindName(kind), static_cast<unsigned long>(result));
    // An answer document shows the server took the password: the sends before it are settled.
    if (kind != CheckServer && (result == Success || result == (Failure | ServerError))) g_app.unanswered.count = 0;
    if (Awaits(RequestKind(kind))) OnResult(result);
}

void OnRefreshTick() {
    // A tick queued before its timer stopped speaks for no session.
    if (g_app.phase == Phase::SignedIn) SendByItself(Refresh);
}

void OnRetryTick() {
    // One-shot: the next failure sets the next wait.
    (void)g_platform.killTimer(g_app.mainWindow, IDT_RETRY);
    RetryNow();
}

void OnNetworkChange() {
    if (!WaitsOutOutages(g_app.phase)) return;
    (void)g_platform.killTimer(g_app.mainWindow, IDT_RETRY);
    RetryNow();
}

void OnWakeUp() {
    LogEvent("wake-up");
    if (WaitsOutOutages(g_app.phase)) {
        OnNetworkChange();
        return;
    }
    if (g_app.phase == Phase::SignedIn && !Running(Refresh)) RefreshByItself();
}

void OnClockChanged() {
    LogEvent("system time changed");
    // The refresh measures the server's clock against the new time of this one.
    if (g_app.phase == Phase::SignedIn && !Running(Refresh)) SendByItself(Refresh);
}

void OnNoticeClicked() {
    LogEvent("notification %u clicked", TakeClickedTrayNotice());
    switch (g_app.phase) {
    case Phase::WaitingForProxy:
        AnswerProxy();
        break;
    case Phase::WaitingForUser:
    case Phase::SigningInByItself:
        (void)BeginSignIn();
        break;
    default:
        break;
    }
}

bool SignInOnDoubleClick() {
    switch (g_app.phase) {
    case Phase::SignedIn:
    case Phase::Reconnecting:
        return false;
    case Phase::WaitingForProxy:
        AnswerProxy();
        return true;
    default:
        // A sign-in still under way is left to run.
        (void)BeginSignIn();
        return true;
    }
}
