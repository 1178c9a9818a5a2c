#include "app/tray_menu.h"

#include "app/app_state.h"
#include "app/platform_calls.h"
#include "app/sign_in_flow.h"
#include "app/tray_icon.h"
#include "net/page_address.h"
#include "res/resource.h"
#include "ui/about_box.h"
#include "ui/ui_platform_calls.h"

// Asks the shell to open the page; true when the browser could be asked.
static bool OpenTrayPage(PageAction action) {
    char address[PageAddressSize];
    // A cut address would open the wrong page.
    if (!BuildTrayPageAddress(action, address, sizeof address)) return false;
    HINSTANCE result = g_uiPlatform.shellExecute(NULL, "open", address, NULL, NULL, SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

LRESULT OnTrayMessage(HWND window, WPARAM wParam, LPARAM lParam) {
    // Version 4 gives the event in lParam's low word and the icon in its high word; the older
    // layouts give the icon in wParam and the event in lParam.
    const bool version4 = g_app.trayVersion >= TrayVersion4;
    const UINT iconId = version4 ? HIWORD(lParam) : static_cast<UINT>(wParam);
    const UINT event = version4 ? LOWORD(lParam) : static_cast<UINT>(lParam);
    if (iconId != TRAY_ICON_ID) return DefWindowProcA(window, WM_APP_TRAY, wParam, lParam);
    switch (event) {
    case WM_LBUTTONDBLCLK:
        OnTrayDoubleClick();
        return 0;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
        // From version 3 on, the shell follows the button's release with WM_CONTEXTMENU, which
        // the keyboard sends too; the oldest layout has only the release.
        if ((event == WM_CONTEXTMENU) == (g_app.trayVersion >= NOTIFYICON_VERSION)) ShowTrayMenu();
        return 0;
    case NIN_BALLOONUSERCLICK:
        OnNoticeClicked();
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        return 0;
    }
    return DefWindowProcA(window, WM_APP_TRAY, wParam, lParam);
}

void OnTrayDoubleClick() {
    if (!SignInOnDoubleClick()) (void)OpenTrayPage(PageActionCurrentPage);
}

void ShowTrayMenu() {
    POINT cursor = {0, 0};
    (void)GetCursorPos(&cursor);
    bool signedIn = g_app.state == SignedIn;
    HMENU menu = LoadMenuA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(signedIn ? IDR_TRAY_SIGNED_IN : IDR_TRAY_SIGNED_OUT));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    if (!popup) {
        (void)DestroyMenu(menu);
        return;
    }
    if (!signedIn) {
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_STATE;
        // Greyed while a sign-in runs, so that a second one cannot start beside it.
        item.fState = SignInUnderWay() ? MFS_GRAYED : MFS_ENABLED;
        (void)SetMenuItemInfoA(popup, ID_SIGN_IN, FALSE, &item);
    }
    (void)SetMenuDefaultItem(popup, 0, TRUE);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    (void)SetForegroundWindow(g_app.mainWindow);
    (void)g_platform.trackPopupMenuEx(popup, TPM_CENTERALIGN | TPM_BOTTOMALIGN, cursor.x, cursor.y,
                                      g_app.mainWindow, NULL);
    (void)PostMessageA(g_app.mainWindow, WM_NULL, 0, 0);
    (void)DestroyMenu(menu);
}

// Only one About box at a time, also when the command comes again while it is open.
static void ShowAboutBox() {
    if (g_app.aboutOpen) return;
    g_app.aboutOpen = true;
    (void)g_platform.dialogBoxParam(g_app.instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), g_app.mainWindow,
                                    AboutDialogProc, 0);
    g_app.aboutOpen = false;
}

bool OnCommand(WORD command) {
    switch (command) {
    case ID_VIEW_ALL_PAGES:
        (void)OpenTrayPage(PageActionAllPages);
        return true;
    case IDM_ABOUT:
        ShowAboutBox();
        return true;
    case IDM_EXIT:
        (void)DestroyWindow(g_app.mainWindow);
        return true;
    case ID_OPEN_CURRENT_PAGE:
        (void)OpenTrayPage(PageActionCurrentPage);
        return true;
    case ID_SIGN_IN:
        (void)BeginSignIn();
        return true;
    case ID_SIGN_OUT:
        SignOut();
        return true;
    }
    return false;
}
