#include "app/tray_notice.h"

#include "app/app_state.h"
#include "app/platform_calls.h"
#include "res/resource.h"
#include "storage/resource_text.h"
#include "storage/support_log.h"

TrayNotice g_trayNotice = {};

namespace {

enum : int {
    InfoSize = sizeof(NOTIFYICONDATAW::szInfo) / sizeof(wchar_t),
    InfoTitleSize = sizeof(NOTIFYICONDATAW::szInfoTitle) / sizeof(wchar_t),
};

// Hands the shell a notification of text under the program's name; an empty text removes
// the one showing.
bool SendNotification(const wchar_t* text, DWORD icon) {
    NOTIFYICONDATAW data;
    StartTrayRecord(&data, NIF_INFO);
    // A text too long for the notification is cut between words.
    (void)AppendWholeWords(data.szInfo, InfoSize, text);
    LoadResourceText(IDS_APP_TITLE, data.szInfoTitle, InfoTitleSize);
    data.dwInfoFlags = icon;
    return g_platform.shellNotifyIcon(NIM_MODIFY, &data) != FALSE;
}

// "Pagewren - " and the first words of text on one line, cut between characters to fit the tip.
void SetReason(const wchar_t* text) {
    LoadResourceText(IDS_APP_TITLE, g_trayNotice.tip, TrayTipSize);
    (void)AppendText(g_trayNotice.tip, TrayTipSize, L" - ");
    // Longer than the room left, so that the cut falls in the tip, where it is between characters.
    wchar_t line[TrayTipSize];
    int length = 0;
    for (; *text && length < TrayTipSize - 1; ++text)
        if (*text != L'\r') line[length++] = *text == L'\n' ? L' ' : *text;
    line[length] = L'\0';
    (void)AppendText(g_trayNotice.tip, TrayTipSize, line);
}

}  // namespace

bool ShowTrayNotice(const NoticeText& notice) {
    // Without its icon the shell has nowhere to show the notification from.
    const DWORD icon = notice.icon == MB_ICONERROR ? NIIF_ERROR : NIIF_WARNING;
    if (g_app.trayRefusals > 0 || !SendNotification(notice.text, icon)) {
        LogEvent("notification %u refused: told in a box", notice.textId);
        return false;
    }
    LogEventW(L"notification %u shown: %s", notice.textId, notice.logged);
    g_trayNotice.showing = notice.textId;
    SetReason(notice.text);
    return true;
}

void EndTrayNotice() {
    g_trayNotice.tip[0] = L'\0';
    if (g_trayNotice.showing == 0) return;
    g_trayNotice.showing = 0;
    // The shell may have closed it already; then there is nothing to remove.
    (void)SendNotification(L"", NIIF_NONE);
}

UINT TakeClickedTrayNotice() {
    const UINT clicked = g_trayNotice.showing;
    g_trayNotice.showing = 0;
    return clicked;
}
