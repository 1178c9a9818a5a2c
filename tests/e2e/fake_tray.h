// A stand-in for the shell's notification area inside the test process: a top-level
// "Shell_TrayWnd" window that receives what Shell_NotifyIcon sends, so a test can see the
// program's tray icon calls (add, modify, delete, set version; the callback message, tooltip
// and notification of each).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TrayCall {
    DWORD operation;       // NIM_ADD, NIM_MODIFY, NIM_DELETE or NIM_SETVERSION
    UINT flags;            // NIF_*
    UINT callbackMessage;
    std::string tip;       // UTF-8, as the notification's texts
    std::string info;      // the notification's text; empty removes the one showing
    UINT version;          // asked for by NIM_SETVERSION
    bool accepted;         // what the stand-in answered
};

// Creates the window; it must exist before the program starts. False when it cannot.
bool StartFakeTray();
// Destroys the window and forgets every call.
void StopFakeTray();
// Refuses the next count adds, as a shell still starting does, and every modify until an add
// is taken.
void RefuseTrayAdds(int count);
// Every call received so far, oldest first.
const std::vector<TrayCall>& TrayCalls();
// The tooltip of the icon as the last add or modify left it; empty when there is none.
std::string CurrentTrayTip();
// The last call that showed or removed a notification; all empty when none came.
TrayCall LastNotification();
// Posts the program's main window an event of its icon, in the callback layout it agreed.
void PostTrayEvent(HWND main, UINT event);
// True when the last call was a delete, or no call came at all.
bool TrayIconRemoved();
