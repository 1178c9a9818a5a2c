// The sign-in dialog's two web links, "Forgot your password?" and "Click here" (to sign up).
#pragma once

#include <windows.h>
#include <stddef.h>

// The shell call that opens an address; tests replace it to capture what would be opened.
typedef HINSTANCE(WINAPI* OpenAddressCall)(HWND owner, LPCSTR verb, LPCSTR file,
                                           LPCSTR parameters, LPCSTR directory, INT show);
extern OpenAddressCall g_linkOpenAddress;

// Writes "http://" host [":" port] directory page into out; false, and nothing to open, when
// it does not fit.
bool ComposeServerPageAddress(const char* host, const char* port, const char* directory,
                              const char* page, char* out, size_t capacity);

// Gives IDC_FORGOT_LINK and IDC_SIGNUP_LINK LinkLabelProc, keeping the STATIC class procedure.
void SubclassLinkLabels(HWND dialog);

// Hand cursor over the label; a press opens the label's page on the settings' server.
LRESULT CALLBACK LinkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam);
