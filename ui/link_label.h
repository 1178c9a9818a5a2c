// The sign-in dialog's two web links, "Forgot your password?" and "Click here" (to sign up).
#pragma once

#include <windows.h>
#include <stddef.h>

// Gives IDC_FORGOT_LINK and IDC_SIGNUP_LINK LinkLabelProc, keeping the STATIC class procedure.
void SubclassLinkLabels(HWND dialog);
// WM_GETOBJECT to the dialog or a label: the first request in an opening for a client object
// tells screen readers that both labels are links. Without one the accessibility DLL stays unloaded.
void AnnotateLinkLabels(HWND dialog, LPARAM objectId);

// Hand cursor over the label; a press, or Enter or Space while it has the focus, opens the
// label's page on the settings' server through g_uiPlatform.shellExecute, which tests replace
// to capture the address. The focus rectangle shows only while the dialog shows keyboard cues.
LRESULT CALLBACK LinkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam);
