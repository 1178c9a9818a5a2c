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

void ShowBox(HWND owner, UINT textId, const char* text, UINT icon) {
    char caption[CaptionSize];
    LoadResourceText(IDS_APP_TITLE, caption, sizeof caption);
    LogEvent("box %u shown: %s", textId, text);
    (void)g_uiPlatform.messageBox(owner, text, caption, MB_OK | MB_TOPMOST | icon);
    LogEvent("box %u closed", textId);
}

// The box of one notice, with the server's description after its text where it has one.
void ShowNotice(HWND owner, const Notice& notice) {
    char text[MessageTextSize];
    LoadResourceText(notice.textId, text, sizeof text);
    if (notice.textId == IDS_SERVER_ERROR) {
        char description[SessionDescriptionSize];
        (void)CopyErrorDescription(g_session, description, sizeof description);
        // A description too long for the box is cut, never overflowed.
        (void)AppendText(text, sizeof text, description);
    }
    ShowBox(owner, notice.textId, text, notice.icon);
}

// The notice of code's category; false for the failures that show none.
bool FindNotice(ResultCode code, Notice* notice) {
    const ResultCode category = FailureCategory(code);
    if (!IsFailure(code) || category == ServerUnreachable || category == SignInRefused) return false;
    *notice = {category, IDS_UNKNOWN_ERROR, MB_ICONWARNING};
    for (const Notice& known : kNotices)
        if (known.category == category) *notice = known;
    return true;
}

}  // namespace

UINT FailureNoticeText(ResultCode code) {
    Notice notice;
    return FindNotice(code, &notice) ? notice.textId : 0;
}

void ShowFailureNotice(HWND owner, ResultCode code) {
    Notice notice;
    if (FindNotice(code, &notice)) ShowNotice(owner, notice);
}

void ShowTextNotice(HWND owner, UINT textId) { ShowNotice(owner, {0, textId, MB_ICONWARNING}); }

void ShowSettingsNotice(HWND owner, UINT textId, const char* path, const char* server) {
    char format[MessageTextSize];
    LoadResourceText(textId, format, sizeof format);
    // Cut, so that the whole text always fits the box.
    char shortServer[MessageTextSize / 4] = "";
    (void)AppendText(shortServer, sizeof shortServer, server);
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(path), reinterpret_cast<DWORD_PTR>(shortServer)};
    char text[MessageTextSize];
    if (FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format, 0, 0, text, sizeof text,
                       reinterpret_cast<va_list*>(inserts)) == 0) {
        return;
    }
    ShowBox(owner, textId, text, MB_ICONWARNING);
}
