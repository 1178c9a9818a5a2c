// A recording stand-in for the platform calls of the controller and its windows, and a fixture
// that installs it with a clean controller record, the program's real tray icons and an empty
// session.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/platform_calls.h"
#include "ui/ui_platform_calls.h"

struct MenuShown {
    UINT defaultCommand;
    bool hasSignIn;
    bool signInGreyed;
};

// A worker the controller started: its kind, the sign-out count it names, and when.
struct StartedWorker {
    RequestKind kind;
    WORD generation;
    DWORD tick;
};

struct FakePlatform {
    std::vector<RequestKind> started;
    std::vector<StartedWorker> startedWith;
    bool startSucceeds = true;
    std::vector<UINT> dialogs;  // template ids
    std::vector<LPARAM> dialogParams;
    INT_PTR dialogEnd = IDOK;
    std::function<void()> whileDialogOpen;
    std::vector<std::string> boxes;  // their texts, UTF-8
    std::vector<NOTIFYICONDATAW> tray;
    std::vector<DWORD> trayOperations;
    BOOL addSucceeds = TRUE;
    std::string tip;  // UTF-8: the tooltip of the last tray call that set one, or "" when none did
    std::vector<std::string> notifications;  // UTF-8; "" removes the one showing
    BOOL notificationSucceeds = TRUE;
    UINT newestVersion = 4;  // the newest callback layout the shell takes
    std::vector<UINT> timersSet;  // periods of the refresh timer
    std::vector<UINT> retriesSet;  // waits of the retry timer
    // The timers set and not killed since, and when each fires next on the tick clock.
    std::map<UINT_PTR, DWORD> due;
    std::vector<MenuShown> menus;
    std::vector<std::string> opened;
    // The clock the controller reads: 100-ns units since 1601 in UTC.
    int64_t now = 0;
    bool proxyAnswered = true;  // the user gives the proxy's credentials at its prompt
    // The tick clock: milliseconds since the computer started, which the user cannot set.
    DWORD tick = 0;
};

extern FakePlatform g_fake;

// Records a box the way the fake does; for replacements that also show a real one.
void RecordBox(LPCWSTR text);
// Stores a token expiry that gives intervalMs at the fake clock's present.
void SetSessionInterval(int64_t intervalMs);
void SetSessionToken(const char* token);
class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
