// The tray icon's mouse handling, its popup menus and the commands they carry.
#pragma once

#include <windows.h>

// The icon's callback, in the layout of the agreed version: a double-click acts by state, a
// right-click opens the menu, a click on the notification opens what mends its failure.
LRESULT OnTrayMessage(HWND window, WPARAM wParam, LPARAM lParam);
// Opens the current page when signed in, else signs in unless a sign-in is under way.
void OnTrayDoubleClick();
// Opens the menu of the current state at the cursor; its choice arrives as WM_COMMAND.
void ShowTrayMenu();
// Runs one menu or accelerator command; false for a command that is not the program's.
bool OnCommand(WORD command);
