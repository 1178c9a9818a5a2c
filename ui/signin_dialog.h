// The modal sign-in dialog (template IDD_SIGNIN).
#pragma once

#include <windows.h>

#include "net/result_code.h"
#include "net/session.h"

// What the dialog's red error line says; None while no error is to be shown.
enum class SignInErrorKind : int { None = 0, EmailRequired = 1, InvalidCredentials = 2 };
extern SignInErrorKind g_signInErrorKind;

// The calls the dialog makes into the rest of the program; tests replace them to run the
// dialog without a server and without message boxes.
struct SignInDialogCalls {
    // Null, as at start: the server's check, verifyCredentials. Runs on a thread of its own.
    ResultCode (*verifyCredentials)(Session& session);
    // The controller's report of a failed check, put in at start-up.
    void (*reportResult)(ResultCode code);
};
extern SignInDialogCalls g_signInDialogCalls;

// The dialog's creation parameter (DialogBoxParam's lParam): plain, or refused, which opens it
// filled in as usual with the rejected-credentials error shown and the password selected,
// without sending anything.
enum : LPARAM { SignInDialogPlain = 0, SignInDialogRefused = 1 };

// Ends with IDOK once the credentials are stored in the settings and not rejected,
// IDCANCEL when the user closes it.
INT_PTR CALLBACK SignInDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
