// The message box that tells the user of a failure, its text and icon chosen by category.
#pragma once

#include <windows.h>

#include "net/result_code.h"

// The string that the box of code's category shows; 0 for a code without the Failure bit,
// for an unreachable server or for a refused sign-in, which show no box.
UINT FailureNoticeText(ResultCode code);
// Shows the box of code's category, owned by owner, if it has one.
void ShowFailureNotice(HWND owner, ResultCode code);
// Shows the warning box with the string textId, owned by owner: for the failures whose
// words depend on what the user was doing rather than on the code alone.
void ShowTextNotice(HWND owner, UINT textId);
// Shows the warning box with the string textId, whose inserts %1 and %2 are a settings file's
// path and the address of the server used instead of the one it names.
void ShowSettingsNotice(HWND owner, UINT textId, const char* path, const char* server);
