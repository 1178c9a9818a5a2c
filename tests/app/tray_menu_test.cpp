// The tray callback, the popup menus and the commands behind them.
#include "fake_platform.h"

#include <string>

#include "app/main_window.h"
#include "app/request_thread.h"
#include "app/tray_icon.h"
#include "res/resource.h"
#include "storage/settings.h"

namespace {

LRESULT TrayMouse(LPARAM mouseMessage) { return MainWindowProc(NULL, WM_APP_TRAY, TRAY_ICON_ID, mouseMessage); }

LRESULT Command(WORD command) { return MainWindowProc(NULL, WM_COMMAND, command, 0); }

void SetServer(const char* port, const char* directory) {
    lstrcpynA(g_settings.host, "pages.example", sizeof g_settings.host);
    lstrcpynA(g_settings.port, port, sizeof g_settings.port);
    lstrcpynA(g_settings.directory, directory, sizeof g_settings.directory);
}

TEST_F(ControllerTest, RightClickDoubleClickAndPageCommandsActByState) {
    SetServer("", "/");
    SetSessionToken("a1+b/c%");  // sent as stored, unescaped
    const struct {
        TrayState state;
        UINT defaultItem;
        bool hasSignIn;
        bool signInGreyed;
        std::vector<RequestKind> doubleClickStarts;
        TrayState afterDoubleClick;
        std::vector<std::string> doubleClickOpens;
    } rows[] = {
        {NotSignedIn, ID_SIGN_IN, true, false, {CheckServer}, SigningIn, {}},
        {SigningIn, ID_SIGN_IN, true, true, {}, SigningIn, {}},
        {SignedIn, ID_OPEN_CURRENT_PAGE, false, false, {}, SignedIn,
         {"http://pages.example/tray.php?token=a1+b/c%&action=3"}},
        {Error, ID_SIGN_IN, true, false, {CheckServer}, SigningIn, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.state);
        g_fake = FakePlatform();
        g_app.state = row.state;
        EXPECT_EQ(0, TrayMouse(WM_RBUTTONUP));
        ASSERT_EQ(1u, g_fake.menus.size());
        EXPECT_EQ(row.defaultItem, g_fake.menus[0].defaultCommand);
        EXPECT_EQ(row.hasSignIn, g_fake.menus[0].hasSignIn);
        EXPECT_EQ(row.signInGreyed, g_fake.menus[0].signInGreyed);
        EXPECT_TRUE(g_fake.started.empty()) << "the menu alone starts nothing";

        EXPECT_EQ(0, TrayMouse(WM_LBUTTONDBLCLK));
        EXPECT_EQ(row.doubleClickStarts, g_fake.started);
        EXPECT_EQ(row.afterDoubleClick, g_app.state);
        EXPECT_EQ(row.doubleClickOpens, g_fake.opened);
    }
    g_fake = FakePlatform();
    SetServer("8080", "/service/");
    EXPECT_EQ(0, Command(ID_VIEW_ALL_PAGES));
    EXPECT_EQ(std::vector<std::string>{"http://pages.example:8080/service/tray.php?token=a1+b/c%&action=2"}, g_fake.opened);
}

TEST_F(ControllerTest, AboutBoxIsNeverOpenedTwice) {
    bool again = true;
    g_fake.whileDialogOpen = [&] {
        // Once only, so that a missing guard shows as a second box rather than endless recursion.
        if (!again) return;
        again = false;
        EXPECT_EQ(0, Command(IDM_ABOUT));
    };
    EXPECT_EQ(0, Command(IDM_ABOUT));
    EXPECT_EQ(std::vector<UINT>{IDD_ABOUTBOX}, g_fake.dialogs);

    g_fake.whileDialogOpen = nullptr;
    EXPECT_EQ(0, Command(IDM_ABOUT));
    EXPECT_EQ(2u, g_fake.dialogs.size()) << "a closed About box can be opened again";
}

}  // namespace
