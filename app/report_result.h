// Turns a failure code into the tray state and, for most categories, a message box.
#pragma once

#include <windows.h>

#include "net/result_code.h"

// Does nothing for a code without the Failure bit.
void ReportResult(ResultCode code);
// Sets Error and shows the warning box with the string textId: the words for a failure that
// only the controller can tell apart, such as a lost connection.
void ReportFailureText(UINT textId);
