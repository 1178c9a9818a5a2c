// The real hidden main window: it stays hidden, hears the shell's restart and ends the loop.
#include "fake_platform.h"

#include <string>
#include <vector>

#include "app/kept_results.h"
#include "app/main_window.h"
#include "app/message_loop.h"
#include "app/request_thread.h"
#include "app/result_code.h"
#include "app/sign_in_flow.h"
#include "app/resource_text.h"
#include "app/tray_icon.h"
#include "res/resource.h"

namespace {

class MainWindowTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        LoadResourceText(IDS_APP_TITLE, g_app.windowTitle, sizeof g_app.windowTitle);
        LoadResourceText(IDS_WINDOW_CLASS, g_app.className, sizeof g_app.className);
        window_ = CreateMainWindow(GetModuleHandleA(NULL));
        ASSERT_NE(nullptr, window_);
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        }
        ControllerTest::TearDown();
    }

    // Pumps the queue until done() holds or five seconds have passed.
    bool PumpUntil(const std::function<bool()>& done) {
        DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > 5000) return false;
            (void)MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        }
        return true;
    }

    HWND window_ = NULL;
};

TEST_F(MainWindowTest, IsAHiddenTopLevelWindowNamedByTheStringTable) {
    EXPECT_EQ(GetDesktopWindow(), GetAncestor(window_, GA_PARENT)) << "message-only windows miss broadcasts";
    char text[100];
    ASSERT_GT(GetWindowTextA(window_, text, sizeof text), 0);
    EXPECT_STREQ("Pagewren", text);
    ASSERT_GT(GetClassNameA(window_, text, sizeof text), 0);
    EXPECT_STREQ("Pagewren", text);
    EXPECT_FALSE(IsWindowVisible(window_));
}

TEST_F(MainWindowTest, StaysHiddenWhenAskedToShow) {
    (void)ShowWindow(window_, SW_SHOWNORMAL);
    EXPECT_FALSE(IsWindowVisible(window_));
    (void)SetWindowPos(window_, HWND_TOP, 10, 10, 200, 100, SWP_SHOWWINDOW);
    EXPECT_FALSE(IsWindowVisible(window_));
}

TEST_F(MainWindowTest, TaskbarCreatedBroadcastBringsTheIconBack) {
    g_app.state = SignedIn;
    g_fake.addSucceeds = FALSE;
    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_NE(0u, taskbarCreated);
    ASSERT_TRUE(PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0));
    ASSERT_TRUE(PumpUntil([] { return g_fake.tray.size() >= 2; }));
    ASSERT_EQ(2u, g_fake.tray.size());
    EXPECT_EQ(DWORD(NIM_ADD), g_fake.tray[0].operation);
    EXPECT_EQ(window_, g_fake.tray[0].data.hWnd);
    EXPECT_EQ(UINT(WM_APP_TRAY), g_fake.tray[0].data.uCallbackMessage);
    EXPECT_STREQ("Pagewren - Signed In", g_fake.tray[0].data.szTip);
    EXPECT_EQ(DWORD(NIM_MODIFY), g_fake.tray[1].operation) << "the icon still existed: brought up to date";
    EXPECT_STREQ("Pagewren - Signed In", g_fake.tray[1].data.szTip);
}

TEST_F(MainWindowTest, ExitStopsTheTimerRemovesTheIconAndEndsTheLoop) {
    EXPECT_EQ(0, SendMessageA(window_, WM_COMMAND, IDM_EXIT, 0));
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(std::vector<UINT_PTR>{IDT_REFRESH}, g_fake.timersKilled);
    ASSERT_EQ(1u, g_fake.tray.size());
    EXPECT_EQ(DWORD(NIM_DELETE), g_fake.tray[0].operation);
    EXPECT_EQ(nullptr, g_app.signedInIcon);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, message.wParam);
    EXPECT_EQ(0u, g_fake.saves) << "settings are not saved at exit";
}

TEST_F(MainWindowTest, WorkerResultsAfterExitShowNothing) {
    g_app.state = SignedIn;
    ASSERT_TRUE(DestroyWindow(window_));
    g_fake = FakePlatform();
    HandleWorkerResult(CheckServer, 1);
    HandleWorkerResult(Refresh, CredentialsRejected | Failure);
    EXPECT_TRUE(g_fake.dialogs.empty());
    EXPECT_TRUE(g_fake.boxes.empty());
    EXPECT_TRUE(g_fake.tray.empty());
    EXPECT_EQ(SignedIn, g_app.state);
}

// Ends the open tray menu of this thread; set as a thread timer while it is open.
void CALLBACK EndOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    (void)KillTimer(NULL, timer);
    (void)EndMenu();
}

BOOL WINAPI RealMenuEndedSoon(HMENU popup, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
    // Posted before the menu opens, so the menu's own loop is the one that takes it.
    EXPECT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP_WORKER_RESULT, SignIn, Success));
    EXPECT_NE(0u, SetTimer(NULL, 0, 100, EndOpenMenu));
    return TrackPopupMenuEx(popup, flags, x, y, owner, params);
}

TEST_F(MainWindowTest, ResultDuringTheTrayMenuIsHandledAfterIt) {
    ASSERT_TRUE(InstallResultKeeper());
    g_platform.trackPopupMenuEx = RealMenuEndedSoon;
    g_app.state = SigningIn;
    SetSessionInterval(60000);
    EXPECT_EQ(0, SendMessageA(window_, WM_APP_TRAY, TRAY_ICON_ID, WM_RBUTTONUP));
    EXPECT_EQ(SigningIn, g_app.state);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, NULL, WM_APP_WORKER_RESULT, WM_APP_WORKER_RESULT, PM_NOREMOVE))
        << "the menu's loop took the result";
    HandleKeptResults();
    RemoveResultKeeper();
    EXPECT_EQ(SignedIn, g_app.state);
    EXPECT_EQ(1u, g_fake.timersSet.size());
}

std::string ItemText(HMENU menu, UINT position) {
    char text[64] = "";
    (void)GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST(MenuResources, MenuBarAndAcceleratorsOfTheMainWindow) {
    HMODULE module = GetModuleHandleA(NULL);
    HMENU bar = LoadMenuA(module, MAKEINTRESOURCEA(IDR_MAIN));
    ASSERT_NE(nullptr, bar);
    ASSERT_EQ(2, GetMenuItemCount(bar));
    EXPECT_EQ("&File", ItemText(bar, 0));
    EXPECT_EQ("&Help", ItemText(bar, 1));
    EXPECT_EQ("E&xit", ItemText(GetSubMenu(bar, 0), 0));
    EXPECT_EQ(UINT(IDM_EXIT), GetMenuItemID(GetSubMenu(bar, 0), 0));
    EXPECT_EQ("&About ...", ItemText(GetSubMenu(bar, 1), 0));
    EXPECT_EQ(UINT(IDM_ABOUT), GetMenuItemID(GetSubMenu(bar, 1), 0));
    DestroyMenu(bar);

    HACCEL accelerators = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDR_MAIN));
    ASSERT_NE(nullptr, accelerators);
    ACCEL table[4];
    int count = CopyAcceleratorTableA(accelerators, table, 4);
    ASSERT_EQ(2, count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(IDM_ABOUT, table[i].cmd);
        EXPECT_TRUE(table[i].fVirt & FALT);
        EXPECT_FALSE(table[i].fVirt & FVIRTKEY);
    }
    EXPECT_EQ('?', table[0].key);
    EXPECT_EQ('/', table[1].key);
    DestroyAcceleratorTable(accelerators);
}

TEST(MenuResources, TrayMenusListTheirItemsInOrder) {
    HMODULE module = GetModuleHandleA(NULL);
    struct {
        UINT id;
        std::vector<std::string> texts;
        std::vector<UINT> commands;
    } menus[] = {
        {IDR_TRAY_SIGNED_IN,
         {"Open Current Page", "View All Pages", "", "&About...", "E&xit"},
         {ID_OPEN_CURRENT_PAGE, ID_VIEW_ALL_PAGES, 0, IDM_ABOUT, IDM_EXIT}},
        {IDR_TRAY_SIGNED_OUT, {"&Sign In", "", "&About...", "E&xit"}, {ID_SIGN_IN, 0, IDM_ABOUT, IDM_EXIT}},
    };
    for (const auto& expected : menus) {
        HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(expected.id));
        ASSERT_NE(nullptr, menu);
        HMENU popup = GetSubMenu(menu, 0);
        ASSERT_NE(nullptr, popup);
        std::vector<std::string> texts;
        std::vector<UINT> commands;
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            texts.push_back(ItemText(popup, i));
            commands.push_back(GetMenuItemID(popup, i));
            if (texts.back().empty()) {
                EXPECT_TRUE(GetMenuState(popup, i, MF_BYPOSITION) & MF_SEPARATOR);
            }
        }
        EXPECT_EQ(expected.texts, texts);
        EXPECT_EQ(expected.commands, commands);
        DestroyMenu(menu);
    }
}

}  // namespace
