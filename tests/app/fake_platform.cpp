#include "fake_platform.h"

#include "app/tray_icon.h"
#include "app/tray_notice.h"
#include "net/session.h"
#include "net/utc_clock.h"
#include "res/resource.h"
#include "storage/scoped_lock.h"
#include "storage/settings.h"
#include "storage/text_encoding.h"

FakePlatform g_fake;

static std::string Utf8(const wchar_t* text) {
    char utf8[3 * 4096];
    EXPECT_TRUE(WideToUtf8Buffer(text, utf8, sizeof utf8));
    return utf8;
}

void RecordBox(LPCWSTR text) { g_fake.boxes.push_back(Utf8(text)); }

namespace {

bool FakeStartRequest(RequestKind kind, WORD generation) {
    g_fake.started.push_back(kind);
    if (g_fake.startSucceeds) g_fake.startedWith.push_back({kind, generation, g_fake.tick});
    return g_fake.startSucceeds;
}

bool FakeSave() { return true; }

bool FakeForgetPassword() { return true; }

INT_PTR WINAPI FakeDialogBoxParam(HINSTANCE, LPCWSTR name, HWND, DLGPROC, LPARAM parameter) {
    g_fake.dialogs.push_back(static_cast<UINT>(reinterpret_cast<UINT_PTR>(name)));
    g_fake.dialogParams.push_back(parameter);
    if (g_fake.whileDialogOpen) g_fake.whileDialogOpen();
    return g_fake.dialogEnd;
}

int WINAPI FakeMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    EXPECT_STREQ(L"Pagewren", caption);
    RecordBox(text);
    return IDOK;
}

BOOL WINAPI FakeShellNotifyIcon(DWORD operation, PNOTIFYICONDATAW data) {
    g_fake.trayOperations.push_back(operation);
    g_fake.tray.push_back(*data);
    if (data->uFlags & NIF_TIP) g_fake.tip = Utf8(data->szTip);
    if (data->uFlags & NIF_INFO) {
        g_fake.notifications.push_back(Utf8(data->szInfo));
        EXPECT_STREQ(L"Pagewren", data->szInfoTitle);
    }
    if (operation == NIM_SETVERSION) return data->uVersion <= g_fake.newestVersion;
    if (data->uFlags & NIF_INFO) return g_fake.notificationSucceeds;
    return operation == NIM_ADD ? g_fake.addSucceeds : TRUE;
}

UINT_PTR WINAPI FakeSetTimer(HWND, UINT_PTR id, UINT period, TIMERPROC) {
    EXPECT_TRUE(id == IDT_REFRESH || id == IDT_RETRY) << id;
    (id == IDT_REFRESH ? g_fake.timersSet : g_fake.retriesSet).push_back(period);
    g_fake.due[id] = g_fake.tick + period;
    return id;
}

DWORD WINAPI FakeTickCount() { return g_fake.tick; }

bool FakePromptProxyLogin(HWND) { return g_fake.proxyAnswered; }

void WINAPI FakeClock(LPFILETIME now) {
    now->dwLowDateTime = static_cast<DWORD>(g_fake.now);
    now->dwHighDateTime = static_cast<DWORD>(g_fake.now >> 32);
}

BOOL WINAPI FakeKillTimer(HWND, UINT_PTR id) {
    g_fake.due.erase(id);
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
    StoreExpiry(g_session, g_fake.now + (intervalMs + 300000) * 10000, intervalMs);
}

void SetSessionToken(const char* token) {
    ScopedLock hold(g_session.lock);
    StoreToken(g_session, token);
}

void ControllerTest::SetUp() {
    g_fake = FakePlatform();
    g_platform = {FakeStartRequest, FakeSave,      FakeForgetPassword,   FakeDialogBoxParam,   FakeShellNotifyIcon,
                  FakeSetTimer,     FakeKillTimer, FakeTrackPopupMenuEx, FakePromptProxyLogin, FakeTickCount};
    g_uiPlatform = {FakeMessageBox, FakeShellExecute};
    g_currentUtcTime = FakeClock;
    g_app = AppState();
    g_trayNotice = TrayNotice();
    g_app.instance = GetModuleHandleA(NULL);
    LoadTrayIcons(g_app.instance);
    // Without them every look would compare null with null.
    ASSERT_TRUE(g_app.signedInIcon && g_app.signedOutIcon);
    SetSessionInterval(0);
    ResetToDefaults();
}

void ControllerTest::TearDown() {
    RemoveTrayIcon();
    g_platform = RealPlatformCalls();
    g_uiPlatform = RealUiPlatformCalls();
    g_currentUtcTime = nullptr;
}
