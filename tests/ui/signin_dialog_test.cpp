// The sign-in dialog run modally on the display, with the credential check and the failure
// report replaced so that no server and no message box take part.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/platform_calls.h"
#include "app/report_result.h"
#include "net/server_operations.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "storage/storage_test_support.h"
#include "ui/dialog_runner.h"
#include "ui/link_label.h"
#include "ui/signin_dialog.h"
#include "ui/signin_look.h"

namespace {

struct CheckCall {
    std::string user;
    std::string password;
    bool remember;
};

std::vector<CheckCall> g_checks;
std::vector<ResultCode> g_answers;
std::vector<ResultCode> g_reports;
std::vector<std::string> g_opened;

ResultCode FakeVerify(Session&) {
    g_checks.push_back({User(), Password(), Remember()});
    if (g_answers.empty()) return Success;
    const ResultCode answer = g_answers.front();
    g_answers.erase(g_answers.begin());
    return answer;
}

void FakeReport(ResultCode code) {
    g_reports.push_back(code);
}

HINSTANCE WINAPI FakeOpen(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
    g_opened.push_back(std::string(verb) + " " + file);
    return reinterpret_cast<HINSTANCE>(42);
}

std::string Text(HWND dialog, int id) {
    char text[8192];
    if (GetDlgItemTextA(dialog, id, text, sizeof text) == 0) text[0] = '\0';
    return text;
}

bool LabelShown(HWND dialog) {
    return (GetWindowLongA(GetDlgItem(dialog, IDC_ERROR_LABEL), GWL_STYLE) & WS_VISIBLE) != 0;
}

void Click(HWND dialog, int id) {
    (void)SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PressKey(HWND dialog, int focusId, WPARAM key) {
    HWND control = GetDlgItem(dialog, focusId);
    (void)SetFocus(control);
    (void)PostMessageA(control, WM_KEYDOWN, key, 0);
}

// Window rectangles of the dialog and every control, in screen pixels.
struct Layout {
    RECT dialog;
    RECT controls[16];
};

const int kLaidOut[] = {
    IDC_EMAIL,
    IDC_PASSWORD,
    IDC_EMAIL_LABEL,
    IDC_PASSWORD_LABEL,
    IDC_REMEMBER,
    IDOK,
    IDC_FORGOT_LINK,
    IDC_SIGNUP_PROMPT,
    IDC_SIGNUP_TAIL,
    IDC_SIGNUP_LINK,
    // These four stay where the template put them.
    IDC_TITLE,
    IDC_SUBTITLE,
    IDC_HEADING,
    IDC_ERROR_LABEL,
};
const size_t kMovedCount = 10;

Layout TakeLayout(HWND dialog) {
    Layout layout = {};
    (void)GetWindowRect(dialog, &layout.dialog);
    for (size_t i = 0; i < sizeof kLaidOut / sizeof kLaidOut[0]; ++i)
        (void)GetWindowRect(GetDlgItem(dialog, kLaidOut[i]), &layout.controls[i]);
    return layout;
}

void ExpectMovedBy(const Layout& before, const Layout& after, int distance) {
    EXPECT_EQ(before.dialog.left, after.dialog.left);
    EXPECT_EQ(before.dialog.top, after.dialog.top);
    EXPECT_EQ(before.dialog.right, after.dialog.right);
    EXPECT_EQ(before.dialog.bottom + distance, after.dialog.bottom);
    for (size_t i = 0; i < sizeof kLaidOut / sizeof kLaidOut[0]; ++i) {
        const int expected = i < kMovedCount ? distance : 0;
        EXPECT_EQ(before.controls[i].left, after.controls[i].left) << "control " << kLaidOut[i];
        EXPECT_EQ(before.controls[i].top + expected, after.controls[i].top) << "control " << kLaidOut[i];
        EXPECT_EQ(before.controls[i].bottom - before.controls[i].top, after.controls[i].bottom - after.controls[i].top)
            << "control " << kLaidOut[i];
    }
}

class SignInDialog : public testing::Test {
protected:
    void SetUp() override {
        FreshSettings();
        ResetToDefaults();
        g_checks.clear();
        g_answers.clear();
        g_reports.clear();
        g_opened.clear();
        g_signInDialogCalls = {FakeVerify, FakeReport};
        g_platform.shellExecute = FakeOpen;
    }

    void TearDown() override {
        g_signInDialogCalls = {verifyCredentials, ReportResult};
        g_platform = RealPlatformCalls();
    }

    INT_PTR Run(const std::vector<DialogStep>& steps) { return RunDialog(IDD_SIGNIN, SignInDialogProc, steps); }
};

TEST_F(SignInDialog, OpensEmptyWithoutSettingsAndPrefilledFromThem) {
    std::string user, password;
    bool checked = true;
    HWND focus = nullptr, email = nullptr;
    auto read = [&](HWND d) {
        user = Text(d, IDC_EMAIL);
        password = Text(d, IDC_PASSWORD);
        checked = IsDlgButtonChecked(d, IDC_REMEMBER) == BST_CHECKED;
        focus = GetFocus();
        email = GetDlgItem(d, IDC_EMAIL);
    };
    EXPECT_EQ(IDCANCEL, Run({read}));
    EXPECT_EQ("", user);
    EXPECT_EQ("", password);
    EXPECT_FALSE(checked);
    EXPECT_EQ(email, focus);

    SetUser("ann@example.org");
    SetPassword("s3cret");
    SetRemember(true);
    EXPECT_EQ(IDCANCEL, Run({read}));
    EXPECT_EQ("ann@example.org", user);
    EXPECT_EQ("s3cret", password);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(g_checks.empty());
}

TEST_F(SignInDialog, AcceptedCredentialsAreStoredAsTypedAndCloseWithOk) {
    SetRemember(true);
    auto type = [](HWND d) {
        (void)SetDlgItemTextA(d, IDC_EMAIL, "  bob@example.org ");
        (void)SetDlgItemTextA(d, IDC_PASSWORD, "");
        (void)CheckDlgButton(d, IDC_REMEMBER, BST_UNCHECKED);
        Click(d, IDOK);
    };
    EXPECT_EQ(IDOK, Run({type}));
    ASSERT_EQ(1u, g_checks.size());
    EXPECT_EQ("  bob@example.org ", g_checks[0].user);
    EXPECT_EQ("", g_checks[0].password);
    EXPECT_FALSE(g_checks[0].remember);
    EXPECT_TRUE(g_reports.empty());
    EXPECT_EQ(SignInErrorKind::None, g_signInErrorKind);
}

TEST_F(SignInDialog, EnterInThePasswordFieldSignsInAndEscapeCancels) {
    SetUser("carol@example.org");
    EXPECT_EQ(IDOK, Run({[](HWND d) { PressKey(d, IDC_PASSWORD, VK_RETURN); }}));
    EXPECT_EQ(1u, g_checks.size());

    EXPECT_EQ(IDCANCEL, Run({[](HWND d) {
                  (void)SetDlgItemTextA(d, IDC_EMAIL, "dave@example.org");
                  PressKey(d, IDC_EMAIL, VK_ESCAPE);
              }}));
    EXPECT_EQ(1u, g_checks.size());
    EXPECT_STREQ("carol@example.org", User());
}

TEST_F(SignInDialog, EmptyEmailShowsTheErrorAndStoresNothing) {
    SetPassword("kept");
    g_settings.state = SettingsState::Loaded;
    bool open = false, shown = false;
    std::string line;
    auto signIn = [](HWND d) {
        (void)SetDlgItemTextA(d, IDC_PASSWORD, "typed");
        (void)CheckDlgButton(d, IDC_REMEMBER, BST_CHECKED);
        Click(d, IDOK);
    };
    auto look = [&](HWND d) {
        open = IsWindowVisible(d) != FALSE;
        shown = IsWindowVisible(GetDlgItem(d, IDC_ERROR_LABEL)) != FALSE;
        line = Text(d, IDC_ERROR_LABEL);
    };
    EXPECT_EQ(IDCANCEL, Run({signIn, look}));
    EXPECT_TRUE(open);
    EXPECT_TRUE(shown);
    EXPECT_EQ("An e-mail address is required", line);
    EXPECT_TRUE(g_checks.empty());
    EXPECT_STREQ("kept", Password());
    EXPECT_FALSE(Remember());
    EXPECT_EQ(SettingsState::Loaded, State());
    EXPECT_EQ(SignInErrorKind::None, g_signInErrorKind);
}

TEST_F(SignInDialog, RejectedCredentialsKeepTheDialogOpenUntilCorrected) {
    g_answers = {Failure | CredentialsRejected, Success};
    std::string line, fieldAfterReject;
    auto first = [](HWND d) {
        (void)SetDlgItemTextA(d, IDC_EMAIL, "eve@example.org");
        (void)SetDlgItemTextA(d, IDC_PASSWORD, "wrong");
        Click(d, IDOK);
    };
    auto second = [&](HWND d) {
        line = Text(d, IDC_ERROR_LABEL);
        fieldAfterReject = Text(d, IDC_PASSWORD);
        (void)SetDlgItemTextA(d, IDC_PASSWORD, "right");
        Click(d, IDOK);
    };
    EXPECT_EQ(IDOK, Run({first, second}));
    EXPECT_EQ("Invalid e-mail address or password", line);
    EXPECT_EQ("wrong", fieldAfterReject);
    ASSERT_EQ(2u, g_checks.size());
    EXPECT_EQ("wrong", g_checks[0].password);
    EXPECT_EQ("right", g_checks[1].password);
    EXPECT_TRUE(g_reports.empty());
    EXPECT_EQ(SignInErrorKind::None, g_signInErrorKind);
}

TEST_F(SignInDialog, OtherFailuresAreReportedAndTheDialogClosesWithOk) {
    const ResultCode failures[] = {Failure | ServerUnreachable, Failure | ServerError};
    for (ResultCode failure : failures) {
        g_answers = {failure};
        g_reports.clear();
        EXPECT_EQ(IDOK, Run({[](HWND d) {
                      (void)SetDlgItemTextA(d, IDC_EMAIL, "fay@example.org");
                      Click(d, IDOK);
                  }}))
            << failure;
        EXPECT_EQ(std::vector<ResultCode>{failure}, g_reports);
    }
}

TEST_F(SignInDialog, LongFieldsAreCutTo4095Characters) {
    const std::string longText(5000, 'x');
    EXPECT_EQ(IDOK, Run({[&](HWND d) {
                  (void)SetDlgItemTextA(d, IDC_EMAIL, longText.c_str());
                  (void)SetDlgItemTextA(d, IDC_PASSWORD, longText.c_str());
                  Click(d, IDOK);
              }}));
    EXPECT_EQ(std::string(4095, 'x'), User());
    EXPECT_EQ(std::string(4095, 'x'), Password());
}

TEST_F(SignInDialog, FirstErrorMovesTheFormDownOnceAndGrowsTheDialog) {
    g_answers = {Failure | CredentialsRejected};
    Layout start, afterFirst, afterSecond;
    int distance = 0;
    SIZE clientAfter = {}, bitmapAfter = {};
    std::string line;
    auto reject = [&](HWND d) {
        start = TakeLayout(d);
        RECT error, heading;
        (void)GetWindowRect(GetDlgItem(d, IDC_ERROR_LABEL), &error);
        (void)GetWindowRect(GetDlgItem(d, IDC_HEADING), &heading);
        distance = error.bottom - heading.bottom;
        (void)SetDlgItemTextA(d, IDC_EMAIL, "gil@example.org");
        Click(d, IDOK);
    };
    auto empty = [&](HWND d) {
        afterFirst = TakeLayout(d);
        // The background was rendered anew at the taller client size.
        RECT client;
        (void)GetClientRect(d, &client);
        clientAfter = {client.right, client.bottom};
        BITMAP bitmap = {};
        if (GetObjectA(g_signInDrawing.background, sizeof bitmap, &bitmap))
            bitmapAfter = {bitmap.bmWidth, bitmap.bmHeight};
        (void)SetDlgItemTextA(d, IDC_EMAIL, "");
        Click(d, IDOK);
    };
    auto look = [&](HWND d) {
        afterSecond = TakeLayout(d);
        line = Text(d, IDC_ERROR_LABEL);
    };
    EXPECT_EQ(IDCANCEL, Run({reject, empty, look}));
    // Twelve dialog units of height: well over a handful of pixels at any font size.
    EXPECT_GT(distance, 10);
    ExpectMovedBy(start, afterFirst, distance);
    ExpectMovedBy(afterFirst, afterSecond, 0);
    EXPECT_EQ(clientAfter.cx, bitmapAfter.cx);
    EXPECT_EQ(clientAfter.cy, bitmapAfter.cy);
    EXPECT_EQ("An e-mail address is required", line);
}

TEST_F(SignInDialog, ErrorsBeforeTheDialogIsOnScreenMoveTheFormOnlyOnce) {
    HWND d = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SIGNIN), nullptr, SignInDialogProc, 0);
    ASSERT_NE(nullptr, d);
    ASSERT_FALSE(IsWindowVisible(d));
    const Layout start = TakeLayout(d);
    Click(d, IDOK);
    const Layout afterFirst = TakeLayout(d);
    Click(d, IDOK);
    const Layout afterSecond = TakeLayout(d);
    EXPECT_TRUE(LabelShown(d));
    EXPECT_NE(start.dialog.bottom, afterFirst.dialog.bottom);
    ExpectMovedBy(afterFirst, afterSecond, 0);
    EXPECT_TRUE(DestroyWindow(d));
    g_signInErrorKind = SignInErrorKind::None;
}

TEST_F(SignInDialog, LinksOpenTheirPagesOnTheConfiguredServer) {
    (void)lstrcpynA(g_settings.host, "pages.example.org", sizeof g_settings.host);
    (void)lstrcpynA(g_settings.port, "8080", sizeof g_settings.port);
    (void)lstrcpynA(g_settings.directory, "/app/", sizeof g_settings.directory);
    bool handledCursor = false;
    HCURSOR cursor = nullptr;
    auto press = [&](HWND d) {
        HWND forgot = GetDlgItem(d, IDC_FORGOT_LINK);
        handledCursor = SendMessageA(forgot, WM_SETCURSOR, reinterpret_cast<WPARAM>(forgot),
                                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == TRUE;
        cursor = GetCursor();
        (void)SendMessageA(GetDlgItem(d, IDC_SIGNUP_LINK), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        (void)lstrcpynA(g_settings.port, "", sizeof g_settings.port);
        (void)lstrcpynA(g_settings.directory, "/", sizeof g_settings.directory);
        (void)SendMessageA(forgot, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        // Plain text around the link opens nothing.
        (void)SendMessageA(GetDlgItem(d, IDC_SIGNUP_PROMPT), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    };
    EXPECT_EQ(IDCANCEL, Run({press}));
    EXPECT_TRUE(handledCursor);
    EXPECT_EQ(LoadCursor(nullptr, IDC_HAND), cursor);
    const std::vector<std::string> expected = {
        "open http://pages.example.org:8080/app/signup.php?skip-install",
        "open http://pages.example.org/restore.php",
    };
    EXPECT_EQ(expected, g_opened);
}

}  // namespace
