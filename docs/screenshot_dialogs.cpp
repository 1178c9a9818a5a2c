// Shows one of the dialogs for docs/make-screenshots.sh: "signin", "signin-error" or "about".
// Once the dialog is painted it writes its window rectangle (left top width height) to the
// ready file, then keeps it on screen until the done file exists.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "res/resource.h"
#include "storage/settings.h"
#include "ui/about_box.h"
#include "ui/dialog_runner.h"
#include "ui/reading_order.h"
#include "ui/signin_dialog.h"

namespace {

const char* g_readyPath = nullptr;
const char* g_donePath = nullptr;

ResultCode RejectCredentials(Session&) {
    return Failure | CredentialsRejected;
}

void ReportNothing(ResultCode) {}

void HoldForScreenshot(HWND dialog) {
    (void)RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT rect;
    (void)GetWindowRect(dialog, &rect);
    FILE* ready = fopen(g_readyPath, "w");
    if (ready) {
        fprintf(ready, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        fclose(ready);
    }
    // The screenshot is taken from outside; keep painting until it is done.
    while (GetFileAttributesA(g_donePath) == INVALID_FILE_ATTRIBUTES) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            (void)TranslateMessage(&message);
            (void)DispatchMessageW(&message);
        }
        Sleep(50);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s signin|signin-error|about READY_FILE DONE_FILE\n", argv[0]);
        return 2;
    }
    // As the program does at start, for the display language the script sets.
    (void)MirrorForUserLanguage();
    g_readyPath = argv[2];
    g_donePath = argv[3];
    ResetToDefaults();
    SetUser("demo@pagewren.test");
    SetPassword("demo-password");
    SetRemember(true);
    SetAutoSignIn(true);
    g_signInDialogCalls = {RejectCredentials, ReportNothing};

    if (strcmp(argv[1], "about") == 0)
        RunDialog(IDD_ABOUTBOX, AboutDialogProc, {HoldForScreenshot});
    else if (strcmp(argv[1], "signin-error") == 0)
        RunDialog(IDD_SIGNIN, SignInDialogProc,
                  {[](HWND d) { (void)PostMessageA(d, WM_COMMAND, IDOK, 0); }, HoldForScreenshot});
    else
        RunDialog(IDD_SIGNIN, SignInDialogProc, {HoldForScreenshot});
    return 0;
}
