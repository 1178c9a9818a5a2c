// The hidden main window: owner of the tray icon, the refresh timer, the dialogs and the boxes.
#pragma once

#include <windows.h>

// Registers the window class and creates the main window, never shown; NULL on failure.
HWND CreateMainWindow(HINSTANCE instance);
// Keeps the window hidden, runs timer ticks, tray callbacks and commands, and shuts down on WM_DESTROY.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
