// The sign-in dialog's check of the stored credentials, on a worker thread of its own so that
// the dialog and the main window keep answering while the server takes its time.
#pragma once

#include <windows.h>

#include "net/result_code.h"
#include "net/session.h"

// Posted to the dialog when a check ends: wParam the check's number, lParam its ResultCode.
enum : UINT { WM_APP_CHECK_RESULT = WM_APP + 1 };

typedef ResultCode (*CredentialCheck)(Session& session);

// Runs check on a new thread, which posts its result to dialog under number; false when no
// thread could be started. A dialog gone by then never sees the result.
bool StartCredentialCheck(CredentialCheck check, HWND dialog, WPARAM number);
