#include "app/tray_icon.h"

#include "app/platform_calls.h"
#include "app/tray_notice.h"
#include "res/resource.h"
#include "storage/resource_text.h"
#include "storage/support_log.h"
#include "ui/display_scale.h"

static_assert(sizeof(void*) != 4 || TrayRecordSize == 936, "the 32-bit tray record is 936 bytes");

enum : int { TrayTipSourceSize = 255 };
enum : UINT { TrayRetryQuickMs = 2000, TrayRetrySlowMs = 30000, TrayQuickRetries = 60 };

// The image of the system's small-icon size, which the icon files hold for 96, 144 and 192 DPI.
static HICON LoadTrayImage(HINSTANCE instance, UINT id, int size) {
    return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// The size the tray icons were loaded at, for the error icon loaded later.
static int s_trayIconSize;

static void LoadTrayIconsFor(HINSTANCE instance, UINT dpi) {
    s_trayIconSize = SmallIconSize(dpi);
    g_app.signedInIcon = LoadTrayImage(instance, IDI_TRAY_SIGNED_IN, s_trayIconSize);
    g_app.signedOutIcon = LoadTrayImage(instance, IDI_TRAY_SIGNED_OUT, s_trayIconSize);
}

// Most runs never show an error, so its icon is loaded when first shown.
static HICON ErrorIcon() {
    if (!g_app.errorIcon) g_app.errorIcon = LoadTrayImage(g_app.instance, IDI_TRAY_ERROR, s_trayIconSize);
    return g_app.errorIcon;
}

void LoadTrayIcons(HINSTANCE instance) {
    LoadTrayIconsFor(instance, DpiOfWindow(NULL));
}

void SetTrayTip(NOTIFYICONDATAW* data, const wchar_t* text) {
    data->szTip[0] = L'\0';
    (void)AppendText(data->szTip, TrayTipSize, text);
}

void FillTrayLook(NOTIFYICONDATAW* data, TrayState state) {
    HICON icon = g_app.signedOutIcon;
    UINT tip = IDS_TIP_NOT_SIGNED_IN;
    switch (state) {
    case NotSignedIn:
        break;
    case SigningIn:
        tip = IDS_TIP_SIGNING_IN;
        break;
    case SignedIn:
        icon = g_app.signedInIcon;
        // Riding out an outage: still signed in, but the user may wonder why a page fails.
        tip = Reconnecting() ? IDS_TIP_RECONNECTING : IDS_TIP_SIGNED_IN;
        break;
    case Error:
        icon = ErrorIcon();
        // A session lost in an outage comes back by itself once the server answers.
        tip = Reconnecting() ? IDS_TIP_RECONNECTING : IDS_TIP_ERROR;
        break;
    }
    wchar_t text[TrayTipSourceSize];
    LoadResourceText(tip, text, TrayTipSourceSize);
    data->hIcon = icon;
    SetTrayTip(data, state == Error && !Reconnecting() && g_trayNotice.tip[0] ? g_trayNotice.tip : text);
}

void StartTrayRecord(NOTIFYICONDATAW* data, UINT flags) {
    ZeroMemory(data, sizeof *data);
    data->cbSize = TrayRecordSize;
    data->hWnd = g_app.mainWindow;
    data->uID = TRAY_ICON_ID;
    data->uFlags = flags;
}

static bool ModifyTrayIcon() {
    NOTIFYICONDATAW data;
    StartTrayRecord(&data, NIF_ICON | NIF_TIP);
    FillTrayLook(&data, g_app.state);
    return g_platform.shellNotifyIcon(NIM_MODIFY, &data) != FALSE;
}

// Asks for the newest callback layout the shell takes; the oldest when it takes none.
static void AgreeTrayVersion() {
    NOTIFYICONDATAW data;
    StartTrayRecord(&data, 0);
    static const UINT versions[] = {TrayVersion4, NOTIFYICON_VERSION};
    for (UINT version : versions) {
        data.uVersion = version;
        g_app.trayVersion = version;
        if (g_platform.shellNotifyIcon(NIM_SETVERSION, &data)) return;
    }
    g_app.trayVersion = 0;
}

void AddTrayIcon() {
    NOTIFYICONDATAW data;
    StartTrayRecord(&data, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = WM_APP_TRAY;
    FillTrayLook(&data, g_app.state);
    // After a shell restart the icon may still be known; then the add fails and a modify
    // brings it up to date.
    if (g_platform.shellNotifyIcon(NIM_ADD, &data) || ModifyTrayIcon()) {
        if (g_app.trayRefusals > 0) (void)g_platform.killTimer(g_app.mainWindow, IDT_TRAY_RETRY);
        g_app.trayRefusals = 0;
        AgreeTrayVersion();
        return;
    }
    // A shell still starting (Explorer busy at sign-in) times the add out, and its
    // "TaskbarCreated" may have come already: without a retry the program would run unseen.
    const UINT wait = g_app.trayRefusals < TrayQuickRetries ? TrayRetryQuickMs : TrayRetrySlowMs;
    if (g_app.trayRefusals < TrayQuickRetries) ++g_app.trayRefusals;
    LogEvent("tray icon refused by the shell, tried again in %u ms", wait);
    // Setting the timer again replaces it, with the new wait.
    (void)g_platform.setTimer(g_app.mainWindow, IDT_TRAY_RETRY, wait, NULL);
}

void UpdateTrayIcon() { (void)ModifyTrayIcon(); }

static void ReleaseIcon(HICON* icon) {
    if (!*icon) return;
    (void)DestroyIcon(*icon);
    *icon = NULL;
}

static void ReleaseTrayIcons() {
    ReleaseIcon(&g_app.signedInIcon);
    ReleaseIcon(&g_app.signedOutIcon);
    ReleaseIcon(&g_app.errorIcon);
}

void RemoveTrayIcon() {
    NOTIFYICONDATAW data;
    StartTrayRecord(&data, 0);
    (void)g_platform.shellNotifyIcon(NIM_DELETE, &data);
    ReleaseTrayIcons();
}

void ChangeTrayDpi(UINT dpi) {
    ReleaseTrayIcons();
    LoadTrayIconsFor(g_app.instance, dpi);
    AddTrayIcon();
}
