// Pagewren's entry routine: start-up in a fixed order, the message loop, shut-down.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/app_state.h"
#include "app/kept_results.h"
#include "app/main_window.h"
#include "app/message_loop.h"
#include "app/report_result.h"
#include "app/sign_in_flow.h"
#include "app/tray_icon.h"
#include "net/session.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "storage/resource_text.h"
#include "storage/settings.h"
#include "storage/support_log.h"
#include "ui/display_scale.h"
#include "ui/reading_order.h"
#include "ui/signin_dialog.h"
#include "version.h"

// What support asks first: which program on which system, then which settings and server.
static void LogStartUp() {
    const DWORD version = GetVersion();
    LogEvent("start-up: Pagewren %s, Windows %u.%u build %u, code page %u, display language %04x, display %u dpi",
             PAGEWREN_VERSION_TEXT, LOBYTE(LOWORD(version)), HIBYTE(LOWORD(version)),
             version < 0x80000000 ? HIWORD(version) : 0, GetACP(), GetUserDefaultUILanguage(), DpiOfWindow(NULL));
}

static void LogServer(bool loaded) {
    if (!loaded) LogEvent("settings: none read, built-in server");
    const WORD port = PortInUse(Port(), Secure());
    LogEvent("server %s://%s:%u%s, e-mail address %s", Secure() ? "https" : "http", Host(),
             static_cast<unsigned>(port), Directory(), User()[0] ? "set" : "not set");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Marks the running copy for as long as the process lives; never closed.
    HANDLE mutex = CreateMutexA(NULL, FALSE, "_ZEL_TRAY_MUTEX_");
    if (mutex == NULL || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
    // Without its folder the program runs as well, only unlogged.
    (void)StartSupportLog();
    LogStartUp();
    // Before the first window, so that the main window, the menus, dialogs and boxes all follow.
    if (MirrorForUserLanguage()) LogEvent("windows mirrored for a right-to-left language");

    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    (void)InitCommonControlsEx(&controls);

    // The configuration file is read through the COM XML document object on this thread.
    if (FAILED(CoInitialize(NULL))) return 0;

    g_app.aboutOpen = false;
    g_app.closing = false;
    g_app.state = NotSignedIn;
    // A failed check in the sign-in dialog is reported like any other failure, to the user there.
    g_signInDialogCalls.reportResult = [](ResultCode code) { ReportResult(code, Audience::User); };
    LoadResourceText(IDS_APP_TITLE, g_app.windowTitle, sizeof g_app.windowTitle);
    LoadResourceText(IDS_WINDOW_CLASS, g_app.className, sizeof g_app.className);
    LoadTrayIcons(instance);
    HWND window = CreateMainWindow(instance);
    if (!window) {
        CoUninitialize();
        return 0;
    }
    (void)UpdateWindow(window);

    SetMainThreadId(g_session, GetCurrentThreadId());
    const bool loaded = Load();
    if (!loaded) ResetToDefaults();
    LogServer(loaded);
    // Without the hook, results that land during a dialog or box are lost as before.
    (void)InstallResultKeeper();
    AddTrayIcon();
    // Before any credentials are asked for.
    ReportUnreadableSettings();
    SignInAtStart();
    g_app.accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_MAIN));

    int exitCode = RunMessageLoop();
    RemoveResultKeeper();
    CoUninitialize();
    LogEvent("exit: code %d", exitCode);
    return exitCode;
}
