#include "app/report_result.h"

#include "app/app_state.h"
#include "app/tray_icon.h"
#include "ui/failure_notice.h"

enum : int { CauseSize = 32 };

void ReportResult(ResultCode code) {
    if (!IsFailure(code)) return;
    char cause[CauseSize];
    (void)wsprintfA(cause, "failure %lu", static_cast<unsigned long>(code));
    EnterState(FailureCategory(code) == SignInRefused ? NotSignedIn : Error, cause);
    ShowFailureNotice(g_app.mainWindow, code);
    // The tray keeps the previous look until the box is dismissed.
    UpdateTrayIcon();
}

void ReportFailureText(UINT textId) {
    EnterState(Error, "failure told in its own words");
    ShowTextNotice(g_app.mainWindow, textId);
    UpdateTrayIcon();
}
