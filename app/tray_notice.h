// The notification from the tray icon that tells a failure in the background: its cause, what
// a click on it opens, and the words the tooltip gives while the state is Error.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "app/tray_icon.h"
#include "ui/failure_notice.h"

// Read and written by the main thread only.
struct TrayNotice {
    // The string of the notification showing; 0: none.
    UINT showing;
    // "Pagewren - " and the notification's first words; empty when none was shown.
    wchar_t tip[TrayTipSize];
};

extern TrayNotice g_trayNotice;

// Shows notice from the tray icon, replacing one showing, and logs it; false, and nothing
// shown, when the icon is missing or the shell refuses the notification.
bool ShowTrayNotice(const NoticeText& notice);
// Removes the notification still showing, if any, and forgets its words.
void EndTrayNotice();
// The user clicked the notification, which the shell then closed: its string, 0 when none showed.
UINT TakeClickedTrayNotice();
