#include "app/report_result.h"

#include "app/app_state.h"
#include "app/tray_icon.h"
#include "ui/failure_notice.h"

void ReportResult(ResultCode code) {
    if (!IsFailure(code)) return;
    g_app.state = FailureCategory(code) == SignInRefused ? NotSignedIn : Error;
    ShowFailureNotice(g_app.mainWindow, code);
    // The tray keeps the previous look until the box is dismissed.
    UpdateTrayIcon();
}

void ReportFailureText(UINT textId) {
    g_app.state = Error;
    ShowTextNotice(g_app.mainWindow, textId);
    UpdateTrayIcon();
}
