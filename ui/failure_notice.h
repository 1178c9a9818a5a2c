// The message box that tells the user of a failure, its text and icon chosen by category.
#pragma once

#include <windows.h>

#include "net/result_code.h"

// Shows the box of code's category, owned by owner; nothing for a code without the Failure
// bit, for an unreachable server or for a refused sign-in.
void ShowFailureNotice(HWND owner, ResultCode code);
