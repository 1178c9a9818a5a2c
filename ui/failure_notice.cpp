#include "ui/failure_notice.h"

#include "net/session.h"
#include "res/resource.h"
#include "storage/resource_text.h"
#include "storage/support_log.h"
#include "storage/text_encoding.h"
#include "ui/ui_platform_calls.h"

namespace {

enum : int {
    CaptionSize = 1024,
    MessageTextSize = NoticeTextSize,
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
    {ProxyRefused, IDS_PROXY_SIGN_IN, MB_ICONWARNING},
};

void ShowBox(HWND owner, UINT textId, const wchar_t* text, UINT icon) {
    wchar_t caption[CaptionSize];
    LoadResourceText(IDS_APP_TITLE, caption, CaptionSize);
    LogEventW(L"box %u shown: %s", textId, text);
    (void)g_uiPlatform.messageBox(owner, text, caption, MB_OK | MB_TOPMOST | icon);
    LogEvent("box %u closed", textId);
}

// The words of one notice, with the server's description after its text where it has one.
void Compose(const Notice& known, NoticeText* notice) {
    notice->textId = known.textId;
    notice->icon = known.icon;
    LoadResourceText(known.textId, notice->text, MessageTextSize);
    if (known.textId != IDS_SERVER_ERROR) return;
    char description[SessionDescriptionSize];
    (void)CopyErrorDescription(g_session, description, sizeof description);
    // The server's words come in UTF-8, and never take more characters than bytes.
    wchar_t wide[SessionDescriptionSize];
    (void)TextToWideBuffer(description, CP_UTF8, wide, SessionDescriptionSize);
    // A description too long for the box is cut, never overflowed.
    (void)AppendText(notice->text, MessageTextSize, wide);
}

}  // namespace

bool ComposeFailureNotice(ResultCode code, NoticeText* notice) {
    const ResultCode category = FailureCategory(code);
    if (!IsFailure(code) || category == ServerUnreachable || category == SignInRefused) return false;
    Notice found = {category, IDS_UNKNOWN_ERROR, MB_ICONWARNING};
    for (const Notice& known : kNotices)
        if (known.category == category) found = known;
    Compose(found, notice);
    return true;
}

void ComposeTextNotice(UINT textId, NoticeText* notice) { Compose({0, textId, MB_ICONWARNING}, notice); }

void ShowNoticeBox(HWND owner, const NoticeText& notice) { ShowBox(owner, notice.textId, notice.text, notice.icon); }

void ShowSettingsNotice(HWND owner, UINT textId, const char* path, const char* server) {
    wchar_t format[MessageTextSize];
    LoadResourceText(textId, format, MessageTextSize);
    // Cut, so that the whole text always fits the box.
    char shortServer[MessageTextSize / 4] = "";
    (void)AppendText(shortServer, sizeof shortServer, server);
    // Both are in the system code page.
    wchar_t widePath[MAX_PATH];
    wchar_t wideServer[MessageTextSize / 4];
    (void)TextToWideBuffer(path, CP_ACP, widePath, MAX_PATH);
    (void)TextToWideBuffer(shortServer, CP_ACP, wideServer, MessageTextSize / 4);
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(widePath), reinterpret_cast<DWORD_PTR>(wideServer)};
    wchar_t text[MessageTextSize];
    if (FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format, 0, 0, text, MessageTextSize,
                       reinterpret_cast<va_list*>(inserts)) == 0) {
        return;
    }
    ShowBox(owner, textId, text, MB_ICONWARNING);
}
