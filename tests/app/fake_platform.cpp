#include "fake_platform.h"

#include "app/tray_icon.h"
#include "net/session.h"
#include "storage/scoped_lock.h"
#include "storage/settings.h"

FakePlatform g_fake;

namespace {

bool FakeStartRequest(RequestKind kind) {
    g_fake.started.push_back(kind);
    return g_fake.startSucceeds;
}

bool FakeSave() {
    ++g_fake.saves;
    return true;
}

INT_PTR WINAPI FakeDialogBoxParam(HINSTANCE, LPCSTR name, HWND owner, DLGPROC proc, LPARAM) {
    g_fake.dialogs.push_back({static_cast<UINT>(reinterpret_cast<UINT_PTR>(name)), owner, proc});
    if (g_fake.whileDialogOpen) g_fake.whileDialogOpen();
    return g_fake.dialogEnd;
}

int WINAPI FakeMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT flags) {
    g_fake.boxes.push_back({text, caption, flags, g_app.state, g_fake.tray.size()});
    if (g_fake.whileBoxOpen) g_fake.whileBoxOpen();
    return IDOK;
}

BOOL WINAPI FakeShellNotifyIcon(DWORD operation, PNOTIFYICONDATAA data) {
    TrayCall call;
    call.operation = operation;
    ZeroMemory(&call.data, sizeof call.data);
    // Copies only what the caller declared, as the shell would.
    CopyMemory(&call.data, data, data->cbSize < sizeof call.data ? data->cbSize : sizeof call.data);
    g_fake.tray.push_back(call);
    return operation == NIM_ADD ? g_fake.addSucceeds : TRUE;
}

UINT_PTR WINAPI FakeSetTimer(HWND, UINT_PTR id, UINT period, TIMERPROC) {
    g_fake.timersSet.push_back({id, period});
    return id;
}

BOOL WINAPI FakeKillTimer(HWND, UINT_PTR id) {
    g_fake.timersKilled.push_back(id);
    return TRUE;
}

BOOL WINAPI FakeTrackPopupMenuEx(HMENU popup, UINT flags, int, int, HWND, LPTPMPARAMS) {
    MenuShown menu;
    menu.firstCommand = GetMenuItemID(popup, 0);
    menu.defaultCommand = GetMenuDefaultItem(popup, FALSE, GMDI_USEDISABLED);
    UINT state = GetMenuState(popup, 32778, MF_BYCOMMAND);
    menu.hasSignIn = state != static_cast<UINT>(-1);
    menu.signInGreyed = menu.hasSignIn && (state & MF_GRAYED) != 0;
    menu.itemCount = GetMenuItemCount(popup);
    menu.flags = flags;
    g_fake.menus.push_back(menu);
    return TRUE;
}

HINSTANCE WINAPI FakeShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT show) {
    EXPECT_STREQ("open", verb);
    EXPECT_EQ(SW_SHOW, show);
    g_fake.opened.push_back(file);
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

}  // namespace

PlatformCalls FakePlatformCalls() {
    PlatformCalls calls;
    calls.startRequest = FakeStartRequest;
    calls.saveSettings = FakeSave;
    calls.dialogBoxParam = FakeDialogBoxParam;
    calls.messageBox = FakeMessageBox;
    calls.shellNotifyIcon = FakeShellNotifyIcon;
    calls.setTimer = FakeSetTimer;
    calls.killTimer = FakeKillTimer;
    calls.trackPopupMenuEx = FakeTrackPopupMenuEx;
    calls.shellExecute = FakeShellExecute;
    return calls;
}

void SetSessionInterval(int64_t intervalMs) {
    ScopedLock hold(g_session.lock);
    StoreRefreshInterval(g_session, intervalMs);
}

void SetSessionToken(const char* token) {
    ScopedLock hold(g_session.lock);
    StoreToken(g_session, token);
}

std::string LastTrayTip() { return g_fake.tray.empty() ? std::string() : g_fake.tray.back().data.szTip; }

void ControllerTest::SetUp() {
    g_fake = FakePlatform();
    g_platform = FakePlatformCalls();
    HINSTANCE instance = GetModuleHandleA(NULL);
    g_app = AppState();
    g_app.instance = instance;
    LoadTrayIcons(instance);
    ASSERT_NE(nullptr, g_app.signedInIcon);
    ASSERT_NE(nullptr, g_app.signedOutIcon);
    ASSERT_NE(nullptr, g_app.errorIcon);
    SetSessionInterval(0);
    ResetToDefaults();
    lstrcpynA(g_settings.port, "", sizeof g_settings.port);
}

void ControllerTest::TearDown() {
    RemoveTrayIcon();
    g_platform = RealPlatformCalls();
}
