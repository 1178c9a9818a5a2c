// Turns a failure code into the tray state and tells it: in a message box to a user who is
// acting, in a notification from the tray icon when it happened in the background.
#pragma once

#include <windows.h>

#include "net/result_code.h"

// Who a failure is told to. User: the result of what the user is doing right now, told in a
// box. Background: what the program did by itself, told in a notification, or in a box where
// there is no notification area.
enum class Audience { User, Background };

// Does nothing for a code without the Failure bit. Nothing is told when it would be the same
// as the last failure told and the user has not started a sign-in since.
void ReportResult(ResultCode code, Audience audience);
// Sets Error and tells the warning with the string textId, left out as above: the words for
// a failure that only the controller can tell apart, such as a lost connection.
void ReportFailureText(UINT textId, Audience audience);
// The user started a sign-in, or the session came back: the next failure is told, whatever
// the last one was, and a notification still showing about the last one goes.
void ForgetShownNotice();
// Tells the user when their own settings file could not be read, and which server is used instead.
void ReportUnreadableSettings();
