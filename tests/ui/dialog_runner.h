// Runs a dialog modally, as the program does, and drives it with a script of steps.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

typedef std::function<void(HWND dialog)> DialogStep;

// Runs the template modally with the given procedure. Once the dialog is on screen, each
// step runs on its own timer tick, so messages a step posts are handled before the next one;
// while the dialog's IDOK button is greyed, the next step waits.
// A dialog still open after the last step is closed through its close box. It is owned by a
// hidden window, as the program's are. The template is the user's language unless language
// names one; parameter goes to WM_INITDIALOG; unmirrored takes the template's right-to-left
// layout out. Returns what DialogBoxParamW returns.
INT_PTR RunDialog(int templateId, DLGPROC procedure, const std::vector<DialogStep>& steps, LANGID language = 0,
                  LPARAM parameter = 0, bool unmirrored = false);
