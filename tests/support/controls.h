// Reading and driving a dialog's controls by message, so the same calls work on a dialog of
// this process and on one of the running program. Texts go as UTF-16 and are UTF-8 here.
#pragma once

#include <windows.h>

#include <string>

// The text of a control of a dialog, also in another process.
std::string ControlText(HWND dialog, int controlId);
// Whether a control of a dialog is visible.
bool ControlVisible(HWND dialog, int controlId);
// Replaces the text of a control of a dialog, also in another process.
void SetControlText(HWND dialog, int controlId, const char* text);
// Presses Enter in a control, as the user would.
void PressEnter(HWND dialog, int controlId);
