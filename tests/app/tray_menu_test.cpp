// The tray callback, the popup menus, the commands and the page addresses they open.
#include "fake_platform.h"

#include <string>

#include "app/main_window.h"
#include "app/page_address.h"
#include "app/request_thread.h"
#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "ui/about_box.h"

namespace {

void SetServer(const char* host, const char* port, const char* directory) {
    lstrcpynA(g_settings.host, host, sizeof g_settings.host);
    lstrcpynA(g_settings.port, port, sizeof g_settings.port);
    lstrcpynA(g_settings.directory, directory, sizeof g_settings.directory);
}

LRESULT TrayMouse(LPARAM mouseMessage) { return MainWindowProc(NULL, WM_APP_TRAY, TRAY_ICON_ID, mouseMessage); }

struct MenuRow {
    TrayState state;
    UINT firstCommand;
    int itemCount;
    bool hasSignIn;
    bool signInGreyed;
};

const MenuRow kMenus[] = {
    {NotSignedIn, ID_SIGN_IN, 4, true, false},
    {SigningIn, ID_SIGN_IN, 4, true, true},
    {SignedIn, ID_OPEN_CURRENT_PAGE, 5, false, false},
    {Error, ID_SIGN_IN, 4, true, false},
};

TEST_F(ControllerTest, RightClickOpensTheMenuOfTheState) {
    for (const MenuRow& row : kMenus) {
        g_fake.menus.clear();
        g_app.state = row.state;
        EXPECT_EQ(0, TrayMouse(WM_RBUTTONUP));
        ASSERT_EQ(1u, g_fake.menus.size()) << row.state;
        const MenuShown& menu = g_fake.menus[0];
        EXPECT_EQ(row.firstCommand, menu.firstCommand) << row.state;
        EXPECT_EQ(row.firstCommand, menu.defaultCommand) << "the first item is the bold default";
        EXPECT_EQ(row.itemCount, menu.itemCount) << row.state;
        EXPECT_EQ(row.hasSignIn, menu.hasSignIn) << row.state;
        EXPECT_EQ(row.signInGreyed, menu.signInGreyed) << row.state;
        EXPECT_EQ(UINT(TPM_CENTERALIGN | TPM_BOTTOMALIGN), menu.flags);
    }
}

TEST_F(ControllerTest, DoubleClickActsByState) {
    SetServer("pagewren.test", "", "/");
    SetSessionToken("tok123");
    struct {
        TrayState state;
        std::vector<RequestKind> started;
        TrayState after;
        size_t opened;
    } rows[] = {
        {NotSignedIn, {CheckServer}, SigningIn, 0},
        {SigningIn, {}, SigningIn, 0},
        {SignedIn, {}, SignedIn, 1},
        {Error, {CheckServer}, SigningIn, 0},
    };
    for (const auto& row : rows) {
        g_fake = FakePlatform();
        g_app.state = row.state;
        EXPECT_EQ(0, TrayMouse(WM_LBUTTONDBLCLK));
        EXPECT_EQ(row.started, g_fake.started) << row.state;
        EXPECT_EQ(row.after, g_app.state);
        ASSERT_EQ(row.opened, g_fake.opened.size());
        if (row.opened) {
            EXPECT_EQ("http://pagewren.test/tray.php?token=tok123&action=3", g_fake.opened[0]);
        }
    }
}

TEST_F(ControllerTest, OtherMouseMessagesDoNothing) {
    for (TrayState state : {NotSignedIn, SignedIn, Error}) {
        g_app.state = state;
        for (LPARAM mouse : {WM_CONTEXTMENU, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                             WM_RBUTTONDBLCLK}) {
            EXPECT_EQ(0, TrayMouse(mouse));
        }
        // Another icon's double-click is not ours.
        EXPECT_EQ(0, MainWindowProc(NULL, WM_APP_TRAY, TRAY_ICON_ID + 1, WM_LBUTTONDBLCLK));
    }
    EXPECT_TRUE(g_fake.started.empty());
    EXPECT_TRUE(g_fake.menus.empty());
    EXPECT_TRUE(g_fake.opened.empty());
}

struct AddressRow {
    const char* port;
    const char* directory;
    WORD command;
    const char* address;
};

const AddressRow kAddresses[] = {
    {"", "/", ID_OPEN_CURRENT_PAGE, "http://pages.example/tray.php?token=a1+b/c%&action=3"},
    {"", "/", ID_VIEW_ALL_PAGES, "http://pages.example/tray.php?token=a1+b/c%&action=2"},
    {"8080", "/", ID_OPEN_CURRENT_PAGE, "http://pages.example:8080/tray.php?token=a1+b/c%&action=3"},
    {"8080", "/service/", ID_VIEW_ALL_PAGES, "http://pages.example:8080/service/tray.php?token=a1+b/c%&action=2"},
};

TEST_F(ControllerTest, PageCommandsOpenTheAddressWithTheToken) {
    SetSessionToken("a1+b/c%");
    g_app.state = SignedIn;
    for (const AddressRow& row : kAddresses) {
        g_fake.opened.clear();
        SetServer("pages.example", row.port, row.directory);
        EXPECT_EQ(0, MainWindowProc(NULL, WM_COMMAND, MAKEWPARAM(row.command, 0), 0));
        ASSERT_EQ(1u, g_fake.opened.size());
        EXPECT_EQ(row.address, g_fake.opened[0]);
    }
}

TEST_F(ControllerTest, AddressThatDoesNotFitIsNotBuilt) {
    SetServer("pages.example", "", "/");
    SetSessionToken("t");
    char address[PageAddressSize];
    ASSERT_TRUE(BuildTrayPageAddress(PageActionCurrentPage, address, sizeof address));
    std::string full = address;
    EXPECT_TRUE(BuildTrayPageAddress(PageActionCurrentPage, address, full.size() + 1));
    EXPECT_FALSE(BuildTrayPageAddress(PageActionCurrentPage, address, full.size()));
}

TEST_F(ControllerTest, LongestSettingsAndTokenStillFitTheAddress) {
    std::string host(SettingsTextSize - 1, 'h');
    std::string directory(SettingsTextSize - 1, 'd');
    std::string token(SessionTokenSize - 1, 't');
    SetServer(host.c_str(), "65535", directory.c_str());
    SetSessionToken(token.c_str());
    EXPECT_TRUE(OpenTrayPage(PageActionAllPages));
    ASSERT_EQ(1u, g_fake.opened.size());
    EXPECT_EQ("http://" + host + ":65535" + directory + "tray.php?token=" + token + "&action=2", g_fake.opened[0]);
}

TEST_F(ControllerTest, SignInCommandBeginsASignIn) {
    g_app.state = Error;
    EXPECT_EQ(0, MainWindowProc(NULL, WM_COMMAND, ID_SIGN_IN, 0));
    EXPECT_EQ(SigningIn, g_app.state);
    EXPECT_EQ(std::vector<RequestKind>{CheckServer}, g_fake.started);
}

TEST_F(ControllerTest, AboutBoxIsNeverOpenedTwice) {
    g_fake.dialogEnd = IDOK;
    int nested = 0;
    g_fake.whileDialogOpen = [&] {
        ++nested;
        EXPECT_TRUE(g_app.aboutOpen);
        EXPECT_EQ(0, MainWindowProc(NULL, WM_COMMAND, IDM_ABOUT, 0));
    };
    EXPECT_EQ(0, MainWindowProc(NULL, WM_COMMAND, IDM_ABOUT, 0));
    EXPECT_EQ(1, nested);
    ASSERT_EQ(1u, g_fake.dialogs.size());
    EXPECT_EQ(UINT(IDD_ABOUTBOX), g_fake.dialogs[0].templateId);
    EXPECT_EQ(AboutDialogProc, g_fake.dialogs[0].proc);
    EXPECT_FALSE(g_app.aboutOpen);

    g_fake.whileDialogOpen = nullptr;
    EXPECT_EQ(0, MainWindowProc(NULL, WM_COMMAND, IDM_ABOUT, 0));
    EXPECT_EQ(2u, g_fake.dialogs.size()) << "a closed About box can be opened again";
}

TEST_F(ControllerTest, UnknownCommandIsNotTheProgramsOwn) {
    EXPECT_FALSE(OnCommand(40000));
    EXPECT_TRUE(g_fake.started.empty());
    EXPECT_TRUE(g_fake.dialogs.empty());
    EXPECT_TRUE(g_fake.opened.empty());
}

}  // namespace
