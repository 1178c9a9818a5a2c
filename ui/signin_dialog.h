// The modal sign-in dialog (template IDD_SIGNIN).
#pragma once

#include <windows.h>

// Ends with IDOK once the credentials are stored in the settings and not rejected,
// IDCANCEL when the user closes it.
INT_PTR CALLBACK SignInDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
