#include "ui/signin_dialog.h"

#include "net/server_operations.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "storage/text_encoding.h"
#include "ui/center_on_desktop.h"
#include "ui/credential_check.h"
#include "ui/display_scale.h"
#include "ui/link_label.h"
#include "ui/proxy_prompt.h"
#include "ui/reading_order.h"
#include "ui/signin_look.h"

SignInErrorKind g_signInErrorKind = SignInErrorKind::None;
SignInDialogCalls g_signInDialogCalls;

namespace {

// A field holds as many characters as the settings hold bytes: their UTF-8 always fits it.
enum : int { FieldSize = SettingsTextSize };

// The credential check under way: its number, so that the result of a cancelled check or of an
// earlier opening is dropped, and the control whose focus comes back when it ends.
struct PendingCheck {
    WPARAM number;
    bool running;
    HWND focus;
    // Proxy prompts since the user last pressed Sign In: one, and once more after a refusal.
    int proxyPrompts;
};
PendingCheck s_check;
// The credentials in force when the dialog opened; closing it without signing in puts them back.
CredentialSnapshot s_before;

// The automatic sign-in box as the user left it, shown again when "Remember me" is ticked again.
bool s_autoSignInChosen;

// What the user cannot change while the server checks it; EnableForm adds the automatic sign-in box.
const int kFormControls[] = {IDC_EMAIL, IDC_PASSWORD, IDC_REMEMBER, IDOK};
const int kMostProxyPrompts = 2;

void SignIn(HWND dialog);

bool Ticked(HWND dialog, int controlId) {
    return IsDlgButtonChecked(dialog, controlId) == BST_CHECKED;
}

// Signing in by itself needs the password kept: the box shows the choice while "Remember me" is
// ticked, and is unticked and greyed while it is not.
void ShowAutoSignInBox(HWND dialog) {
    const bool remember = Ticked(dialog, IDC_REMEMBER);
    const UINT shown = remember && s_autoSignInChosen ? BST_CHECKED : BST_UNCHECKED;
    (void)CheckDlgButton(dialog, IDC_SIGN_IN_AUTOMATICALLY, shown);
    (void)EnableWindow(GetDlgItem(dialog, IDC_SIGN_IN_AUTOMATICALLY), remember);
}

void OnRememberClicked(HWND dialog) {
    // Just unticked, the box still shows what the user chose.
    if (!Ticked(dialog, IDC_REMEMBER)) s_autoSignInChosen = Ticked(dialog, IDC_SIGN_IN_AUTOMATICALLY);
    ShowAutoSignInBox(dialog);
}

void ShowError(HWND dialog, SignInErrorKind kind) {
    g_signInErrorKind = kind;
    ShowSignInError(dialog);
}

void InitSignInDialog(HWND dialog, LPARAM opening) {
    SubclassLinkLabels(dialog);
    TakeOverDpiChanges(dialog);
    CreateSignInDrawing(dialog);
    KeepLeftToRight(dialog, IDC_EMAIL);
    KeepLeftToRight(dialog, IDC_PASSWORD);
    // DS_CENTER has placed the dialog on the work area; this centres it on the whole screen.
    CenterOnDesktop(dialog);
    TakeCredentialSnapshot(&s_before);
    wchar_t field[FieldSize];
    (void)TextToWideBuffer(User(), CP_UTF8, field, FieldSize);
    (void)SetDlgItemTextW(dialog, IDC_EMAIL, field);
    (void)TextToWideBuffer(Password(), CP_UTF8, field, FieldSize);
    (void)SetDlgItemTextW(dialog, IDC_PASSWORD, field);
    SecureZeroMemory(field, sizeof field);
    if (Remember()) (void)SendDlgItemMessageA(dialog, IDC_REMEMBER, BM_SETCHECK, BST_CHECKED, 0);
    s_autoSignInChosen = AutoSignIn();
    ShowAutoSignInBox(dialog);
    if (opening == SignInDialogRefused) {
        // The server refused the kept password: the user sees why and retypes it at once.
        ShowError(dialog, SignInErrorKind::InvalidCredentials);
        HWND password = GetDlgItem(dialog, IDC_PASSWORD);
        (void)SetFocus(password);
        (void)SendMessageA(password, EM_SETSEL, 0, -1);
    }
}

// The field's text in UTF-8, cut at a character's end to fit the settings; field keeps the
// UTF-16 copy for the caller to wipe.
void ReadField(HWND dialog, int controlId, wchar_t* field, char* text) {
    if (GetDlgItemTextW(dialog, controlId, field, FieldSize) == 0) field[0] = L'\0';
    (void)WideToUtf8Buffer(field, text, SettingsTextSize);
}

void EndSignInDialog(HWND dialog, int result) {
    s_check.running = false;
    // What was typed was stored for the check; a rejected attempt must not outlive the dialog.
    if (result == IDOK) {
        ForgetCredentialSnapshot(&s_before);
    } else {
        RestoreCredentialSnapshot(&s_before);
    }
    (void)EndDialog(dialog, result);
    g_signInErrorKind = SignInErrorKind::None;
}

void EnableForm(HWND dialog, bool enable) {
    for (int id : kFormControls) (void)EnableWindow(GetDlgItem(dialog, id), enable);
    (void)EnableWindow(GetDlgItem(dialog, IDC_SIGN_IN_AUTOMATICALLY), enable && Ticked(dialog, IDC_REMEMBER));
}

void ApplyCheckResult(HWND dialog, ResultCode result) {
    if (IsFailure(result) && (result & CredentialsRejected) != 0) {
        // The fields stay as typed so that the user can correct them.
        ShowError(dialog, SignInErrorKind::InvalidCredentials);
        return;
    }
    // The proxy let nothing through to the server: asked for its sign-in, the check goes again;
    // otherwise the user is told and the dialog stays, as the sign-in could not pass either.
    if (IsFailure(result) && FailureCategory(result) == ProxyRefused) {
        if (s_check.proxyPrompts < kMostProxyPrompts) {
            ++s_check.proxyPrompts;
            if (PromptProxyLogin(dialog)) {
                SignIn(dialog);
                return;
            }
        }
        if (g_signInDialogCalls.reportResult) g_signInDialogCalls.reportResult(result);
        return;
    }
    // Any other failure has been shown to the user; the background sign-in reports its own.
    if (IsFailure(result) && g_signInDialogCalls.reportResult) g_signInDialogCalls.reportResult(result);
    EndSignInDialog(dialog, IDOK);
}

void SignIn(HWND dialog) {
    // Enter while the server checks the last attempt.
    if (s_check.running) return;
    // Nothing is trimmed: blanks are part of what the user typed.
    wchar_t field[FieldSize];
    char text[SettingsTextSize];
    ReadField(dialog, IDC_EMAIL, field, text);
    if (text[0] == '\0') {
        ShowError(dialog, SignInErrorKind::EmailRequired);
        return;
    }
    SetUser(text);

    ReadField(dialog, IDC_PASSWORD, field, text);
    SetPassword(text);
    // The settings hold the one copy the refreshes need.
    SecureZeroMemory(field, sizeof field);
    SecureZeroMemory(text, sizeof text);
    const bool remember = Ticked(dialog, IDC_REMEMBER);
    SetRemember(remember);
    SetAutoSignIn(remember && Ticked(dialog, IDC_SIGN_IN_AUTOMATICALLY));

    const CredentialCheck verify =
        g_signInDialogCalls.verifyCredentials ? g_signInDialogCalls.verifyCredentials : verifyCredentials;
    if (!StartCredentialCheck(verify, dialog, ++s_check.number)) {
        // Without a thread of its own the check runs here, the dialog frozen until it ends.
        ApplyCheckResult(dialog, verify(g_session));
        return;
    }
    s_check.running = true;
    s_check.focus = GetFocus();
    EnableForm(dialog, false);
    // Keys now go to the dialog itself, so that Escape still cancels the wait.
    (void)SetFocus(dialog);
}

void OnCheckResult(HWND dialog, WPARAM number, ResultCode result) {
    if (!s_check.running || number != s_check.number) return;
    s_check.running = false;
    EnableForm(dialog, true);
    if (s_check.focus) (void)SetFocus(s_check.focus);
    ApplyCheckResult(dialog, result);
}

}  // namespace

INT_PTR CALLBACK SignInDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitSignInDialog(dialog, lParam);
            // Unless the password has it, the first tab stop, the e-mail field, gets the focus.
            return lParam == SignInDialogRefused ? FALSE : TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    s_check.proxyPrompts = 0;
                    SignIn(dialog);
                    return TRUE;
                case IDCANCEL:
                    EndSignInDialog(dialog, IDCANCEL);
                    return TRUE;
                case IDC_REMEMBER:
                    if (HIWORD(wParam) == BN_CLICKED) OnRememberClicked(dialog);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_APP_CHECK_RESULT:
            OnCheckResult(dialog, wParam, static_cast<ResultCode>(lParam));
            return TRUE;
        case WM_SETFOCUS:
            // While the form is greyed the dialog keeps the focus, which it would hand to a field.
            return s_check.running ? TRUE : FALSE;
        case WM_ERASEBKGND:
            EraseSignInBackground(dialog, reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(
                ColourSignInStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(g_signInDrawing.whiteBrush);
        case WM_GETOBJECT:
            // A screen reader asks; the default answer follows.
            AnnotateLinkLabels(dialog, lParam);
            return FALSE;
        case WM_DPICHANGED:
            // The new DPI is in both words of wParam; the suggested window rectangle in lParam.
            ChangeSignInDpi(dialog, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return TRUE;
        case WM_DESTROY:
            ReleaseSignInDrawing();
            return TRUE;
        default:
            return FALSE;
    }
}
