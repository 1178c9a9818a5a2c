// The notification-area icon: its image and tooltip follow the TrayState.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <stddef.h>

#include "app/app_state.h"

enum : UINT {
    // Callback message of the icon to the main window.
    WM_APP_TRAY = WM_USER + 100,
    TRAY_ICON_ID = 100,
    // The callback layout of Windows Vista and later; the headers name it only for Vista builds.
    TrayVersion4 = 4,
};

// The record handed to the shell: the layout up to and including the balloon fields, which
// every shell since Windows 2000 accepts (936 bytes on 32-bit Windows).
enum : DWORD { TrayRecordSize = offsetof(NOTIFYICONDATAW, guidItem) };
enum : int { TrayTipSize = sizeof(NOTIFYICONDATAW::szTip) / sizeof(wchar_t) };

// Loads the signed-in and signed-out tray icons from the program's resources at the system's
// small-icon size; the error icon follows at that size when first shown.
void LoadTrayIcons(HINSTANCE instance);
// Loads the tray icons anew at the small-icon size of dpi and shows the icon with them.
void ChangeTrayDpi(UINT dpi);
// Adds the icon with the current look, and agrees the newest callback layout the shell takes;
// when the icon already exists, brings it up to date. When
// the shell takes neither, tries again on the tray retry timer: every 2 s for two minutes,
// then every 30 s, until it does.
void AddTrayIcon();
// Shows the current state's look.
void UpdateTrayIcon();
// Removes the icon and releases the three tray icons; a second call releases nothing.
void RemoveTrayIcon();
// Puts the look of state (icon and tooltip) into data; unknown states look signed out, and
// Error says why when a notification told it.
void FillTrayLook(NOTIFYICONDATAW* data, TrayState state);
// Copies text into the tooltip field, cut between characters to its 127.
void SetTrayTip(NOTIFYICONDATAW* data, const wchar_t* text);
// An empty record of flags for the program's icon, to be filled and handed to the shell.
void StartTrayRecord(NOTIFYICONDATAW* data, UINT flags);
