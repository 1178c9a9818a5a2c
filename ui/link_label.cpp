#include "ui/link_label.h"

// Defines the accessibility GUIDs in this file, as oleacc.h documents.
#include <initguid.h>
#include <oleacc.h>

#include "net/page_address.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "ui/ui_platform_calls.h"

namespace {

// The STATIC class procedure taken from IDC_FORGOT_LINK; both labels are of that class.
WNDPROC g_staticProc = nullptr;
// Whether this opening's labels were annotated (or at least tried).
bool g_annotated = false;

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

// Null where the accessibility service is missing; the labels then stay plain text.
IAccPropServices* AccessibilityService() {
    IAccPropServices* service = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                reinterpret_cast<void**>(&service))))
        return nullptr;
    return service;
}

const MSAAPROPID kLinkProperties[] = {PROPID_ACC_ROLE, PROPID_ACC_DEFAULTACTION};

// The label keeps its text as its name; only its role and its action change. A refused
// annotation leaves plain text, which is all a failure can cost.
void AnnotateAsLink(HWND label) {
    IAccPropServices* service = AccessibilityService();
    if (!service) return;
    VARIANT role = {};
    role.vt = VT_I4;
    role.lVal = ROLE_SYSTEM_LINK;
    (void)service->SetHwndProp(label, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_ROLE, role);
    (void)service->SetHwndPropStr(label, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_DEFAULTACTION,
                                  L"Jump");
    service->Release();
}

// Annotations outlive their window unless cleared.
void ClearLinkAnnotation(HWND label) {
    IAccPropServices* service = AccessibilityService();
    if (!service) return;
    (void)service->ClearHwndProps(label, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kLinkProperties,
                                  sizeof kLinkProperties / sizeof kLinkProperties[0]);
    service->Release();
}

bool ShowsFocus(HWND label) {
    return GetFocus() == label && (SendMessageA(label, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

// Around the text as the STATIC class draws it, single-line at the left and centred vertically,
// measured in the label's font so that it follows the display scale.
void DrawTextFocus(HWND label, HDC dc) {
    wchar_t text[64];
    if (GetWindowTextW(label, text, sizeof text / sizeof text[0]) == 0) return;
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
    RECT frame = {0, 0, 0, 0};
    const int height = DrawTextW(dc, text, -1, &frame, DT_CALCRECT | DT_SINGLELINE);
    (void)SelectObject(dc, oldFont);
    RECT client;
    if (height == 0 || !GetClientRect(label, &client)) return;
    (void)OffsetRect(&frame, 0, (client.bottom - height) / 2);
    (void)InflateRect(&frame, 1, 1);
    if (IntersectRect(&frame, &frame, &client)) (void)DrawFocusRect(dc, &frame);
}

// The STATIC procedure draws the text; the focus rectangle goes over it.
void PrintLinkLabel(HWND label, HDC dc, LPARAM flags) {
    (void)CallWindowProcW(g_staticProc, label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), flags);
    if (ShowsFocus(label)) DrawTextFocus(label, dc);
}

void PaintLinkLabel(HWND label) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(label, &paint);
    if (!dc) return;
    PrintLinkLabel(label, dc, PRF_CLIENT);
    (void)EndPaint(label, &paint);
}

}  // namespace

// The labels of the Unicode dialog stay Unicode windows: the procedure is taken, set and called
// through the W functions alike.
void SubclassLinkLabels(HWND dialog) {
    HWND forgot = GetDlgItem(dialog, IDC_FORGOT_LINK);
    HWND signUp = GetDlgItem(dialog, IDC_SIGNUP_LINK);
    g_staticProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(forgot, GWLP_WNDPROC));
    (void)SetWindowLongPtrW(forgot, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkLabelProc));
    (void)SetWindowLongPtrW(signUp, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkLabelProc));
    g_annotated = false;
}

void AnnotateLinkLabels(HWND dialog, LPARAM objectId) {
    // The window's frame or UI Automation's root do not lead to the labels' roles.
    if (g_annotated || static_cast<DWORD>(objectId) != static_cast<DWORD>(OBJID_CLIENT)) return;
    g_annotated = true;
    AnnotateAsLink(GetDlgItem(dialog, IDC_FORGOT_LINK));
    AnnotateAsLink(GetDlgItem(dialog, IDC_SIGNUP_LINK));
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
        case WM_GETDLGCODE: {
            // Enter on a focused link opens it instead of pressing "Sign In".
            const MSG* key = reinterpret_cast<const MSG*>(lParam);
            const LRESULT code = CallWindowProcW(g_staticProc, label, message, wParam, lParam);
            if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) return code | DLGC_WANTMESSAGE;
            return code;
        }
        case WM_KEYDOWN:
            // Bit 30 marks a repeat: a held key opens the page once.
            if ((wParam == VK_RETURN || wParam == VK_SPACE) && (lParam & (1 << 30)) == 0) {
                OpenLinkPage(label);
                return 0;
            }
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_UPDATEUISTATE: {
            // The focus rectangle comes and goes with the focus and with the dialog's keyboard cues.
            const LRESULT result = CallWindowProcW(g_staticProc, label, message, wParam, lParam);
            (void)InvalidateRect(label, nullptr, TRUE);
            return result;
        }
        case WM_PAINT:
            PaintLinkLabel(label);
            return 0;
        case WM_PRINTCLIENT:
            PrintLinkLabel(label, reinterpret_cast<HDC>(wParam), lParam);
            return 0;
        case WM_GETOBJECT:
            // Annotated before the default answer builds the label's accessible object.
            AnnotateLinkLabels(GetParent(label), lParam);
            break;
        case WM_DESTROY:
            if (g_annotated) ClearLinkAnnotation(label);
            break;
        default:
            break;
    }
    return CallWindowProcW(g_staticProc, label, message, wParam, lParam);
}
