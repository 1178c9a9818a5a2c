// The tray icon's mouse handling, its popup menus and the commands they carry.
#pragma once

#include <windows.h>

// The icon's callback: a double-click acts by state, a right-button release opens the menu.
LRESULT OnTrayMessage(HWND window, WPARAM iconId, LPARAM mouseMessage);
// Opens the current page when signed in, else signs in unless a sign-in is under way.
void OnTrayDoubleClick();
// Opens the menu of the current state at the cursor; its choice arrives as WM_COMMAND.
void ShowTrayMenu();
// Runs one menu or accelerator command; false for a command that is not the program's.
bool OnCommand(WORD command);
