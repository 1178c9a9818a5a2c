// The platform calls through which the windows show boxes and open pages. Tests swap the
// table to capture them without message boxes or a browser.
#pragma once

#include <windows.h>
#include <shellapi.h>

struct UiPlatformCalls {
    int (WINAPI* messageBox)(HWND, LPCWSTR, LPCWSTR, UINT);
    HINSTANCE (WINAPI* shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
};

// The table in use; the real calls unless a test replaced them.
extern UiPlatformCalls g_uiPlatform;

// The table of real calls, for putting back after a test.
UiPlatformCalls RealUiPlatformCalls();
