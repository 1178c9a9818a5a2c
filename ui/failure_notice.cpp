#include "ui/failure_notice.h"

#include "net/session.h"
#include "res/resource.h"
#include "storage/resource_text.h"
#include "storage/support_log.h"
#include "storage/text_encoding.h"
#include "ui/reading_order.h"
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

// The support log stays in English, whatever language the box speaks.
const LANGID kLogLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The text of textId in language, or in the user's language when it is 0.
void LoadNoticeText(UINT textId, LANGID language, wchar_t* out, int capacity) {
    if (language == 0) {
        LoadResourceText(textId, out, capacity);
    } else {
        LoadResourceTextIn(textId, language, out, capacity);
    }
}

void ShowBox(HWND owner, UINT textId, const wchar_t* text, const wchar_t* logged, UINT icon) {
    wchar_t caption[CaptionSize];
    LoadResourceText(IDS_APP_TITLE, caption, CaptionSize);
    LogEventW(L"box %u shown: %s", textId, logged);
    (void)g_uiPlatform.messageBox(owner, text, caption, MB_OK | MB_TOPMOST | icon | BoxReadingFlags());
    LogEvent("box %u closed", textId);
}

// The text of one notice in language (0: the user's), with the server's description after it
// where it has one.
void ComposeIn(UINT textId, LANGID language, wchar_t* text) {
    LoadNoticeText(textId, language, text, MessageTextSize);
    if (textId != IDS_SERVER_ERROR) return;
    char description[SessionDescriptionSize];
    (void)CopyErrorDescription(g_session, description, sizeof description);
    // The server's words come in UTF-8, and never take more characters than bytes.
    wchar_t wide[SessionDescriptionSize];
    (void)TextToWideBuffer(description, CP_UTF8, wide, SessionDescriptionSize);
    // A description too long for the box is cut, never overflowed.
    (void)AppendText(text, MessageTextSize, wide);
}

void Compose(const Notice& known, NoticeText* notice) {
    notice->textId = known.textId;
    notice->icon = known.icon;
    ComposeIn(known.textId, 0, notice->text);
    ComposeIn(known.textId, kLogLanguage, notice->logged);
}

// The settings text in language with its inserts; false when it cannot be formatted.
bool FormatSettingsNotice(UINT textId, LANGID language, const DWORD_PTR* inserts, wchar_t* text) {
    wchar_t format[MessageTextSize];
    LoadNoticeText(textId, language, format, MessageTextSize);
    return FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format, 0, 0, text,
                          MessageTextSize, reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(inserts))) != 0;
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

void ShowNoticeBox(HWND owner, const NoticeText& notice) {
    ShowBox(owner, notice.textId, notice.text, notice.logged, notice.icon);
}

void ShowSettingsNotice(HWND owner, UINT textId, const char* path, const char* server) {
    // Cut, so that the whole text always fits the box.
    char shortServer[MessageTextSize / 4] = "";
    (void)AppendText(shortServer, sizeof shortServer, server);
    // Both are in the system code page.
    wchar_t widePath[MAX_PATH];
    wchar_t wideServer[MessageTextSize / 4];
    (void)TextToWideBuffer(path, CP_ACP, widePath, MAX_PATH);
    (void)TextToWideBuffer(shortServer, CP_ACP, wideServer, MessageTextSize / 4);
    const DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(widePath), reinterpret_cast<DWORD_PTR>(wideServer)};
    wchar_t text[MessageTextSize], logged[MessageTextSize];
    if (!FormatSettingsNotice(textId, 0, inserts, text)) return;
    if (!FormatSettingsNotice(textId, kLogLanguage, inserts, logged)) logged[0] = L'\0';
    ShowBox(owner, textId, text, logged, MB_ICONWARNING);
}
