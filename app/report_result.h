// Turns a failure code into the tray state and, for most categories, a message box.
#pragma once

#include <windows.h>

#include "net/result_code.h"

// Does nothing for a code without the Failure bit. A box is left out when it would be the same
// as the last one shown and the user has not started a sign-in since.
void ReportResult(ResultCode code);
// Sets Error and shows the warning box with the string textId, left out as above: the words for
// a failure that only the controller can tell apart, such as a lost connection.
void ReportFailureText(UINT textId);
// The user started a sign-in: the next failure shows its box, whatever the last one was.
void ForgetShownNotice();
// Tells the user when their own settings file could not be read, and which server is used instead.
void ReportUnreadableSettings();
