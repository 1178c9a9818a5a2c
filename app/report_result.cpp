#include "app/report_result.h"

#include "app/app_state.h"
#include "app/tray_icon.h"
#include "net/page_address.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "storage/settings.h"
#include "ui/failure_notice.h"

namespace {

enum : int { CauseSize = 32 };

// No failure shows the same box twice in a row unless the user acted in between.
bool ShowsNew(UINT textId) {
    if (textId == 0 || textId == g_app.lastNotice) return false;
    g_app.lastNotice = textId;
    return true;
}

}  // namespace

void ReportResult(ResultCode code) {
    if (!IsFailure(code)) return;
    char cause[CauseSize];
    (void)wsprintfA(cause, "failure %lu", static_cast<unsigned long>(code));
    EnterState(FailureCategory(code) == SignInRefused ? NotSignedIn : Error, cause);
    if (ShowsNew(FailureNoticeText(code))) ShowFailureNotice(g_app.mainWindow, code);
    // The tray keeps the previous look until the box is dismissed.
    UpdateTrayIcon();
}

void ReportFailureText(UINT textId) {
    EnterState(Error, "failure told in its own words");
    if (ShowsNew(textId)) ShowTextNotice(g_app.mainWindow, textId);
    UpdateTrayIcon();
}

void ForgetShownNotice() { g_app.lastNotice = 0; }

void ReportUnreadableSettings() {
    char path[MAX_PATH];
    const UnreadableUserFile file = UnreadableFileAtLoad(path);
    if (file == UnreadableUserFile::None) return;
    // The user must know where the credentials they are about to type will go.
    char server[PageAddressSize];
    (void)ComposeServerPageAddress(Secure(), Host(), Port(), Directory(), "", server, sizeof server);
    ShowSettingsNotice(g_app.mainWindow, file == UnreadableUserFile::Kept ? IDS_SETTINGS_KEPT : IDS_SETTINGS_NOT_KEPT,
                       path, server);
}
