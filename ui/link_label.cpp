#include "ui/link_label.h"

#include "net/page_address.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "ui/ui_platform_calls.h"

namespace {

// The STATIC class procedure taken from IDC_FORGOT_LINK; both labels are of that class.
WNDPROC g_staticProc = nullptr;

const char* PageOfLink(int controlId) {
    switch (controlId) {
        case IDC_FORGOT_LINK:
            return "restore.php";
        case IDC_SIGNUP_LINK:
            return "signup.php?skip-install";
        default:
            return nullptr;
    }
}

void OpenLinkPage(HWND label) {
    const char* page = PageOfLink(GetDlgCtrlID(label));
    if (!page) return;
    char address[PageAddressSize];
    if (!ComposeServerPageAddress(Secure(), Host(), Port(), Directory(), page, address, sizeof address)) return;
    // A link that cannot be opened simply opens nothing.
    (void)g_uiPlatform.shellExecute(nullptr, "open", address, nullptr, nullptr, SW_SHOW);
}

}  // namespace

void SubclassLinkLabels(HWND dialog) {
    HWND forgot = GetDlgItem(dialog, IDC_FORGOT_LINK);
    HWND signUp = GetDlgItem(dialog, IDC_SIGNUP_LINK);
    g_staticProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(forgot, GWLP_WNDPROC));
    (void)SetWindowLongPtrA(forgot, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkLabelProc));
    (void)SetWindowLongPtrA(signUp, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkLabelProc));
}

LRESULT CALLBACK LinkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETCURSOR: {
            HCURSOR cursor = LoadCursor(nullptr, IDC_HAND);
            if (!cursor) cursor = LoadCursor(nullptr, IDC_ARROW);
            (void)SetCursor(cursor);
            return TRUE;
        }
        case WM_LBUTTONDOWN:
            // Acts on the press; the label's own procedure never sees the click.
            OpenLinkPage(label);
            return TRUE;
        default:
            return CallWindowProcA(g_staticProc, label, message, wParam, lParam);
    }
}
