#include "app/sign_in_flow.h"

#include "app/app_state.h"
#include "app/platform_calls.h"
#include "app/report_result.h"
#include "app/request_thread.h"
#include "app/tray_icon.h"
#include "net/session.h"
#include "res/resource.h"
#include "ui/signin_dialog.h"

static const ResultCode WorkerNotStarted = InternalError | Failure;

bool BeginSignIn() {
    g_app.state = SigningIn;
    UpdateTrayIcon();
    if (!g_platform.startRequest(CheckServer)) {
        ReportResult(WorkerNotStarted);
        return false;
    }
    return true;
}

bool ArmRefreshTimer() {
    int64_t interval = RefreshIntervalMs(g_session);
    if (interval > 0) {
        UINT period = interval > MaxTimerPeriodMs ? UINT(MaxTimerPeriodMs) : static_cast<UINT>(interval);
        // Without the timer the session would lapse unnoticed.
        if (g_platform.setTimer(g_app.mainWindow, IDT_REFRESH, period, NULL) == 0) {
            ReportResult(WorkerNotStarted);
            return false;
        }
        return true;
    }
    (void)g_platform.killTimer(g_app.mainWindow, IDT_REFRESH);
    ReportResult(TimestampError | Failure);
    return false;
}

// The server answered: ask for credentials, then sign in with them.
static void RunSignInDialog() {
    INT_PTR end = g_platform.dialogBoxParam(g_app.instance, MAKEINTRESOURCEA(IDD_SIGNIN), g_app.mainWindow,
                                            SignInDialogProc, 0);
    if (end != IDOK) {
        g_app.state = NotSignedIn;
        UpdateTrayIcon();
        return;
    }
    // Writes only what changed; a failed write must not stop the sign-in.
    (void)g_platform.saveSettings();
    if (!g_platform.startRequest(SignIn)) ReportResult(WorkerNotStarted);
}

void HandleWorkerResult(WPARAM kind, LPARAM code) {
    // After Exit nothing about a worker may show up, though its result can still be queued.
    if (g_app.closing) return;
    ResultCode result = static_cast<ResultCode>(code);
    switch (kind) {
    case CheckServer:
        if (result == Success) {
            RunSignInDialog();
        } else {
            ReportResult(result);
        }
        break;
    case SignIn:
    case Refresh:
        if (result == Success) {
            g_app.state = SignedIn;
            UpdateTrayIcon();
            (void)ArmRefreshTimer();
        } else {
            ReportResult(result);
        }
        break;
    default:
        break;
    }
}

void OnRefreshTick() {
    if (!g_platform.startRequest(Refresh)) ReportResult(WorkerNotStarted);
}
