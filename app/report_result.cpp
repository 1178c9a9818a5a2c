#include "app/report_result.h"

#include "app/app_state.h"
#include "app/tray_icon.h"
#include "app/tray_notice.h"
#include "net/page_address.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "storage/settings.h"
#include "ui/failure_notice.h"

namespace {

enum : int { CauseSize = 32 };

// No failure is told twice in a row unless the user acted or the session came back in between.
bool ToldNew(UINT textId) {
    if (textId == 0 || textId == g_app.lastNotice) return false;
    g_app.lastNotice = textId;
    return true;
}

void Tell(const NoticeText& notice, Audience audience) {
    if (!ToldNew(notice.textId)) return;
    // A failure is never told by nothing: without a notification area it takes a box.
    if (audience == Audience::Background && ShowTrayNotice(notice)) return;
    ShowNoticeBox(g_app.mainWindow, notice);
}

}  // namespace

void ReportResult(ResultCode code, Audience audience) {
    if (!IsFailure(code)) return;
    char cause[CauseSize];
    (void)wsprintfA(cause, "failure %lu", static_cast<unsigned long>(code));
    EnterState(FailureCategory(code) == SignInRefused ? NotSignedIn : Error, cause);
    NoticeText notice;
    if (ComposeFailureNotice(code, &notice)) Tell(notice, audience);
    // After a box, the tray keeps the previous look until the box is dismissed.
    UpdateTrayIcon();
}

void ReportFailureText(UINT textId, Audience audience) {
    EnterState(Error, "failure told in its own words");
    NoticeText notice;
    ComposeTextNotice(textId, &notice);
    Tell(notice, audience);
    UpdateTrayIcon();
}

void ForgetShownNotice() {
    g_app.lastNotice = 0;
    EndTrayNotice();
}

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
