#include "ui/failure_notice.h"

#include "net/session.h"
#include "res/resource.h"
#include "storage/resource_text.h"
#include "storage/support_log.h"
#include "ui/ui_platform_calls.h"

namespace {

enum : int {
    CaptionSize = 1024,
    MessageTextSize = 4096,
};

struct Notice {
    ResultCode category;
    UINT textId;
    UINT icon;
};

// An unknown category gets the unknown-error text with a warning icon.
const Notice kNotices[] = {
    {InvalidResponse, IDS_INVALID_RESPONSE, MB_ICONWARNING},
    {CredentialsRejected, IDS_SIGN_IN_FAILED, MB_ICONWARNING},
    {InternalError, IDS_UNKNOWN_ERROR, MB_ICONERROR},
    {ServerError, IDS_SERVER_ERROR, MB_ICONWARNING},
    {TimestampError, IDS_TIMESTAMP_ERROR, MB_ICONERROR},
    {IdentityUnverified, IDS_IDENTITY_UNVERIFIED, MB_ICONERROR},
};

// The box of one notice, with the server's description after its text where it has one.
void ShowNotice(HWND owner, const Notice& notice) {
    char caption[CaptionSize];
    LoadResourceText(IDS_APP_TITLE, caption, sizeof caption);
    char text[MessageTextSize];
    LoadResourceText(notice.textId, text, sizeof text);
    if (notice.textId == IDS_SERVER_ERROR) {
        char description[SessionDescriptionSize];
        (void)CopyErrorDescription(g_session, description, sizeof description);
        // A description too long for the box is cut, never overflowed.
        (void)AppendText(text, sizeof text, description);
    }
    LogEvent("box %u shown: %s", notice.textId, text);
    (void)g_uiPlatform.messageBox(owner, text, caption, MB_OK | MB_TOPMOST | notice.icon);
    LogEvent("box %u closed", notice.textId);
}

}  // namespace

void ShowFailureNotice(HWND owner, ResultCode code) {
    if (!IsFailure(code)) return;
    const ResultCode category = FailureCategory(code);
    if (category == ServerUnreachable || category == SignInRefused) return;
    Notice notice = {category, IDS_UNKNOWN_ERROR, MB_ICONWARNING};
    for (const Notice& known : kNotices)
        if (known.category == category) notice = known;
    ShowNotice(owner, notice);
}

void ShowTextNotice(HWND owner, UINT textId) { ShowNotice(owner, {0, textId, MB_ICONWARNING}); }
