#include "app/tray_icon.h"

#include "app/platform_calls.h"
#include "res/resource.h"
#include "storage/resource_text.h"
#include "storage/support_log.h"
#include "ui/display_scale.h"

static_assert(sizeof(void*) != 4 || TrayRecordSize == 488, "the 32-bit tray record is 488 bytes");

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

void SetTrayTip(NOTIFYICONDATAA* data, const char* text) {
    lstrcpynA(data->szTip, text, sizeof data->szTip);
}

void FillTrayLook(NOTIFYICONDATAA* data, TrayState state) {
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
    char text[TrayTipSourceSize];
    LoadResourceText(tip, text, sizeof text);
    data->hIcon = icon;
    SetTrayTip(data, text);
}

static void StartTrayRecord(NOTIFYICONDATAA* data, UINT flags) {
    ZeroMemory(data, sizeof *data);
    data->cbSize = TrayRecordSize;
    data->hWnd = g_app.mainWindow;
    data->uID = TRAY_ICON_ID;
    data->uFlags = flags;
}

static bool ModifyTrayIcon() {
    NOTIFYICONDATAA data;
    StartTrayRecord(&data, NIF_ICON | NIF_TIP);
    FillTrayLook(&data, g_app.state);
    return g_platform.shellNotifyIcon(NIM_MODIFY, &data) != FALSE;
}

void AddTrayIcon() {
    NOTIFYICONDATAA data;
    StartTrayRecord(&data, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = WM_APP_TRAY;
    FillTrayLook(&data, g_app.state);
    // After a shell restart the icon may still be known; then the add fails and a modify
    // brings it up to date.
    if (g_platform.shellNotifyIcon(NIM_ADD, &data) || ModifyTrayIcon()) {
        if (g_app.trayRefusals > 0) (void)g_platform.killTimer(g_app.mainWindow, IDT_TRAY_RETRY);
        g_app.trayRefusals = 0;
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
    NOTIFYICONDATAA data;
    StartTrayRecord(&data, 0);
    (void)g_platform.shellNotifyIcon(NIM_DELETE, &data);
    ReleaseTrayIcons();
}

void ChangeTrayDpi(UINT dpi) {
    ReleaseTrayIcons();
    LoadTrayIconsFor(g_app.instance, dpi);
    AddTrayIcon();
}
