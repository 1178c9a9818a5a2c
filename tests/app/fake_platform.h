// A recording stand-in for the controller's platform calls, and a fixture that installs it
// with a clean controller record, the program's real tray icons and an empty session.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/platform_calls.h"

struct DialogRun {
    UINT templateId;
    HWND owner;
    DLGPROC proc;
};

struct BoxShown {
    std::string text;
    std::string caption;
    UINT flags;
    TrayState stateWhileOpen;
    size_t trayCallsBefore;
};

struct TrayCall {
    DWORD operation;
    NOTIFYICONDATAA data;
};

struct TimerSet {
    UINT_PTR id;
    UINT period;
};

struct MenuShown {
    UINT firstCommand;
    UINT defaultCommand;
    bool signInGreyed;
    bool hasSignIn;
    int itemCount;
    UINT flags;
};

struct FakePlatform {
    std::vector<RequestKind> started;
    bool startSucceeds = true;
    int saves = 0;

    std::vector<DialogRun> dialogs;
    INT_PTR dialogEnd = IDOK;
    std::function<void()> whileDialogOpen;

    std::vector<BoxShown> boxes;
    std::function<void()> whileBoxOpen;

    std::vector<TrayCall> tray;
    BOOL addSucceeds = TRUE;

    std::vector<TimerSet> timersSet;
    std::vector<UINT_PTR> timersKilled;

    std::vector<MenuShown> menus;
    std::vector<std::string> opened;
};

extern FakePlatform g_fake;

// The fake's table.
PlatformCalls FakePlatformCalls();
// Sets the refresh interval the way a worker's answer reader would.
void SetSessionInterval(int64_t intervalMs);
// Stores a token the way a worker's answer reader would.
void SetSessionToken(const char* token);
// The tooltip of the last tray call, or "" when there was none.
std::string LastTrayTip();

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
