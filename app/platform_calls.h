// The platform calls through which the controller acts on the world. Tests swap the table
// to drive the state machine and the tray without windows or threads.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "app/request_thread.h"

struct PlatformCalls {
    bool (*startRequest)(RequestKind kind, WORD generation);
    bool (*saveSettings)();
    bool (*forgetPassword)();
    INT_PTR (WINAPI* dialogBoxParam)(HINSTANCE, LPCWSTR, HWND, DLGPROC, LPARAM);
    BOOL (WINAPI* shellNotifyIcon)(DWORD, PNOTIFYICONDATAW);
    UINT_PTR (WINAPI* setTimer)(HWND, UINT_PTR, UINT, TIMERPROC);
    BOOL (WINAPI* killTimer)(HWND, UINT_PTR);
    BOOL (WINAPI* trackPopupMenuEx)(HMENU, UINT, int, int, HWND, LPTPMPARAMS);
    // Windows' prompt for the proxy's sign-in; true when the user gave the credentials.
    bool (*promptProxyLogin)(HWND owner);
    // Milliseconds since Windows started: ages that no setting of the clock can change.
    DWORD (WINAPI* tickCount)();
};

// The table in use; the real calls unless a test replaced them.
extern PlatformCalls g_platform;

// The table of real calls, for putting back after a test.
PlatformCalls RealPlatformCalls();
