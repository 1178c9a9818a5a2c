#include "fake_platform.h"

#include "app/tray_icon.h"
#include "net/session.h"
#include "res/resource.h"
#include "storage/scoped_lock.h"
#include "storage/settings.h"

FakePlatform g_fake;

void RecordBox(LPCSTR text, UINT flags) { g_fake.boxes.push_back({text, flags}); }

namespace {

bool FakeStartRequest(RequestKind kind) {
    g_fake.started.push_back(kind);
    return g_fake.startSucceeds;
}

bool FakeSave() { return ++g_fake.saves, true; }

INT_PTR WINAPI FakeDialogBoxParam(HINSTANCE, LPCSTR name, HWND, DLGPROC, LPARAM) {
    g_fake.dialogs.push_back(static_cast<UINT>(reinterpret_cast<UINT_PTR>(name)));
    if (g_fake.whileDialogOpen) g_fake.whileDialogOpen();
    return g_fake.dialogEnd;
}

int WINAPI FakeMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT flags) {
    EXPECT_STREQ("Pagewren", caption);
    RecordBox(text, flags);
    return IDOK;
}

BOOL WINAPI FakeShellNotifyIcon(DWORD operation, PNOTIFYICONDATAA data) {
    g_fake.trayOperations.push_back(operation);
    g_fake.tray.push_back(*data);
    return operation == NIM_ADD ? g_fake.addSucceeds : TRUE;
}

UINT_PTR WINAPI FakeSetTimer(HWND, UINT_PTR id, UINT period, TIMERPROC) {
    EXPECT_EQ(UINT_PTR(IDT_REFRESH), id);
    g_fake.timersSet.push_back(period);
    return id;
}

BOOL WINAPI FakeKillTimer(HWND, UINT_PTR id) {
    g_fake.timersKilled.push_back(id);
    return TRUE;
}

BOOL WINAPI FakeTrackPopupMenuEx(HMENU popup, UINT, int, int, HWND, LPTPMPARAMS) {
    UINT state = GetMenuState(popup, ID_SIGN_IN, MF_BYCOMMAND);
    bool hasSignIn = state != static_cast<UINT>(-1);
    g_fake.menus.push_back(
        {GetMenuDefaultItem(popup, FALSE, GMDI_USEDISABLED), hasSignIn, hasSignIn && (state & MF_GRAYED) != 0});
    return TRUE;
}

HINSTANCE WINAPI FakeShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
    EXPECT_STREQ("open", verb);
    g_fake.opened.push_back(file);
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

}  // namespace

void SetSessionInterval(int64_t intervalMs) {
    ScopedLock hold(g_session.lock);
    StoreRefreshInterval(g_session, intervalMs);
}

void SetSessionToken(const char* token) {
    ScopedLock hold(g_session.lock);
    StoreToken(g_session, token);
}

std::string LastTrayTip() { return g_fake.tray.empty() ? std::string() : g_fake.tray.back().szTip; }

void ControllerTest::SetUp() {
    g_fake = FakePlatform();
    g_platform = {FakeStartRequest, FakeSave,      FakeDialogBoxParam,  FakeShellNotifyIcon,
                  FakeSetTimer,     FakeKillTimer, FakeTrackPopupMenuEx};
    g_uiPlatform = {FakeMessageBox, FakeShellExecute};
    g_app = AppState();
    g_app.instance = GetModuleHandleA(NULL);
    LoadTrayIcons(g_app.instance);
    // Without them every look would compare null with null.
    ASSERT_TRUE(g_app.signedInIcon && g_app.signedOutIcon && g_app.errorIcon);
    SetSessionInterval(0);
    ResetToDefaults();
}

void ControllerTest::TearDown() {
    RemoveTrayIcon();
    g_platform = RealPlatformCalls();
    g_uiPlatform = RealUiPlatformCalls();
}
