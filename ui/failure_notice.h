// What tells the user of a failure: its text and icon chosen by category, and the message box
// that shows them where the user is acting.
#pragma once

#include <windows.h>

#include "net/result_code.h"

enum : int { NoticeTextSize = 4096 };

// A failure's words, as a box or a notification shows them in the user's language, and as the
// support log keeps them, in English.
struct NoticeText {
    UINT textId;
    UINT icon;  // MB_ICONWARNING or MB_ICONERROR
    wchar_t text[NoticeTextSize];
    wchar_t logged[NoticeTextSize];
};

// The notice of code's category, with the server's description where it has one; false for a
// code without the Failure bit, an unreachable server or a refused sign-in, which tell nothing.
bool ComposeFailureNotice(ResultCode code, NoticeText* notice);
// The warning notice with the string textId: for the failures whose words depend on what the
// program was doing rather than on the code alone.
void ComposeTextNotice(UINT textId, NoticeText* notice);
// Shows notice in a box owned by owner, and logs it.
void ShowNoticeBox(HWND owner, const NoticeText& notice);
// Shows the warning box with the string textId, whose inserts %1 and %2 are a settings file's
// path and the address of the server used instead of the one it names.
void ShowSettingsNotice(HWND owner, UINT textId, const char* path, const char* server);
