// A recording stand-in for the platform calls of the controller and its windows, and a fixture
// that installs it with a clean controller record, the program's real tray icons and an empty
// session.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/platform_calls.h"
#include "ui/ui_platform_calls.h"

struct BoxShown {
    std::string text;  // UTF-8
    UINT flags;
};

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
    std::vector<BoxShown> boxes;
    std::vector<NOTIFYICONDATAW> tray;
    std::vector<DWORD> trayOperations;
    BOOL addSucceeds = TRUE;
    std::string tip;  // UTF-8, as the notifications' texts; "" removes the one showing
    std::vector<std::string> notifications;
    BOOL notificationSucceeds = TRUE;
    UINT newestVersion = 4;  // the newest callback layout the shell takes
    std::vector<UINT> timersSet;  // periods of the refresh timer
    std::vector<UINT> retriesSet;  // waits of the retry timer
    std::set<UINT_PTR> armed;  // the timers set and not killed since
    std::map<UINT_PTR, DWORD> due;  // when each armed timer fires next, on the tick clock
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
void RecordBox(LPCWSTR text, UINT flags);
// Stores a token expiry that gives intervalMs at the fake clock's present.
void SetSessionInterval(int64_t intervalMs);
void SetSessionToken(const char* token);
// The tooltip of the last tray call that set one, or "" when there was none.
std::string LastTrayTip();
class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
