// The sign-in dialog and the About box run modally on the display. The credential check, the
// failure report and ShellExecute are replaced, so no server, message box or browser takes part.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "res/resource.h"
#include "storage/resource_text.h"
#include "storage/settings.h"
#include "storage/storage_test_support.h"
#include "support/controls.h"
#include "ui/about_box.h"
#include "ui/dialog_runner.h"
#include "ui/display_scale.h"
#include "ui/reading_order.h"
#include "ui/signin_background.h"
#include "ui/signin_dialog.h"
#include "ui/signin_look.h"
#include "ui/ui_platform_calls.h"

namespace {

struct Fakes {
    std::vector<std::string> checks;  // the settings at each credential check
    std::vector<ResultCode> answers, reports;
    std::vector<std::string> opened;
} g_fake;

std::string StoredCredentials() {
    return std::string(User()) + "|" + Password() + (Remember() ? "|remember" : "") + (AutoSignIn() ? "|auto" : "");
}

// The automatic sign-in box: "x" ticked, "-" unticked, "/" greyed, "#" ticked and greyed.
char AutoSignInBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_SIGN_IN_AUTOMATICALLY);
    return "-x/#"[(SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0) + (IsWindowEnabled(box) ? 0 : 2)];
}

// The answers in turn, then success.
ResultCode FakeVerify(Session&) {
    g_fake.checks.push_back(StoredCredentials());
    return g_fake.checks.size() <= g_fake.answers.size() ? g_fake.answers[g_fake.checks.size() - 1] : Success;
}

void FakeReport(ResultCode code) {
    g_fake.reports.push_back(code);
}

HINSTANCE WINAPI FakeOpen(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
    g_fake.opened.push_back(std::string(verb) + " " + file);
    return reinterpret_cast<HINSTANCE>(42);
}

// Every text fits its box in the font it is drawn with; a clipped title or line is what a
// user would see of a box laid out too small. The last glyph's advance may end a pixel past its
// ink ("?" in "Don`t have an account yet?" does), so one pixel over is not clipping; a line's
// height holds its leading, so one pixel lower is not either. A button's
// text also leaves room for its check box or its edges.
void ExpectTextsFit(HWND dialog) {
    HDC dc = GetDC(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16];
        wchar_t text[256];
        (void)GetClassNameA(child, className, sizeof className);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        const bool button = lstrcmpiA(className, "Button") == 0;
        if ((!button && lstrcmpiA(className, "Static") != 0) || (!button && (style & SS_TYPEMASK) == SS_ICON)) continue;
        (void)GetWindowTextW(child, text, 256);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
        RECT needed = {0, 0, 0, 0}, available;
        (void)DrawTextW(dc, text, -1, &needed, DT_CALCRECT | (button ? DT_HIDEPREFIX : DT_NOPREFIX));
        (void)SelectObject(dc, old);
        (void)GetClientRect(child, &available);
        if (button) available.right -= (style & BS_TYPEMASK) == BS_AUTOCHECKBOX ? GetSystemMetrics(SM_CXMENUCHECK) + 3 : 4;
        EXPECT_LE(needed.right, available.right + 1) << testing::PrintToString(std::wstring(text));
        EXPECT_LE(needed.bottom, available.bottom + 1) << testing::PrintToString(std::wstring(text));
    }
    (void)ReleaseDC(dialog, dc);
}

// The error line moves the first eleven down; the last four stay where the template put them.
const int kLaidOut[] = {IDC_EMAIL,         IDC_PASSWORD, IDC_EMAIL_LABEL, IDC_PASSWORD_LABEL, IDC_REMEMBER,
                        IDC_SIGN_IN_AUTOMATICALLY, IDOK, IDC_FORGOT_LINK, IDC_SIGNUP_TAIL,    IDC_SIGNUP_LINK,
                        IDC_SIGNUP_PROMPT, IDC_TITLE,    IDC_SUBTITLE,    IDC_HEADING,        IDC_ERROR_LABEL};
const size_t kLaidOutCount = sizeof kLaidOut / sizeof kLaidOut[0];
const size_t kMovedCount = 11;

// Screen rectangles of the dialog (first) and of each control in kLaidOut.
std::vector<RECT> TakeLayout(HWND dialog) {
    std::vector<RECT> layout(1 + kLaidOutCount);
    (void)GetWindowRect(dialog, &layout[0]);
    for (size_t i = 0; i < kLaidOutCount; ++i) (void)GetWindowRect(GetDlgItem(dialog, kLaidOut[i]), &layout[1 + i]);
    return layout;
}

void ExpectMovedBy(const std::vector<RECT>& before, const std::vector<RECT>& after, int distance) {
    for (size_t i = 0; i < before.size(); ++i) {
        // The dialog grows at its bottom; a control moves down whole.
        const int bottom = i <= kMovedCount ? distance : 0;
        const int top = i == 0 ? 0 : bottom;
        EXPECT_EQ(before[i].left, after[i].left) << "rectangle " << i;
        EXPECT_EQ(before[i].top + top, after[i].top) << "rectangle " << i;
        EXPECT_EQ(before[i].bottom + bottom, after[i].bottom) << "rectangle " << i;
    }
}

std::vector<HGDIOBJ> DrawingObjects() {
    std::vector<HGDIOBJ> all(g_signInDrawing.fonts, g_signInDrawing.fonts + SignInFontCount);
    all.push_back(g_signInDrawing.whiteBrush);
    all.push_back(g_signInDrawing.background);
    return all;
}

class SignInDialog : public testing::Test {
protected:
    void SetUp() override {
        FreshSettings();
        g_fake = Fakes();
        g_signInDialogCalls = {FakeVerify, FakeReport};
        g_uiPlatform.shellExecute = FakeOpen;
    }

    // Back to the calls this test program starts with: none, as it never runs the program's start-up.
    void TearDown() override {
        g_signInDialogCalls = {};
        g_uiPlatform = RealUiPlatformCalls();
    }

    INT_PTR Run(const std::vector<DialogStep>& steps) { return RunDialog(IDD_SIGNIN, SignInDialogProc, steps); }
};

// A proxy that asks for its own sign-in is told and keeps the dialog open, with no password
// error; with no proxy named no prompt opens. A rejection keeps it open too; other failures close it.
TEST_F(SignInDialog, ErrorsMoveTheFormDownOnceAndOnlyRejectionsAndAskingProxiesKeepItOpen) {
    g_fake.answers = {Failure | ProxyRefused, Failure | CredentialsRejected, Failure | ServerError};
    std::vector<RECT> start, afterErrors;
    auto proxy = [&](HWND d) {
        start = TakeLayout(d);
        SetControlText(d, IDC_EMAIL, "eve@example.org");
        SetControlText(d, IDC_PASSWORD, "wrong");
        PressEnter(d, IDC_PASSWORD);
    };
    auto reject = [&](HWND d) {
        EXPECT_FALSE(ControlVisible(d, IDC_ERROR_LABEL));
        PressEnter(d, IDC_PASSWORD);
    };
    MEMORY_BASIC_INFORMATION pixels = {};
    std::string longText;  // 5000 characters, 10000 bytes
    for (int i = 0; i < 5000; ++i) longText += u8"ł";
    // The end-to-end tests read the two error texts; here the fields stay as typed, and a missing
    // e-mail address, told at once, stores nothing of the attempt.
    auto emptyThenFail = [&](HWND d) {
        DIBSECTION background = {};
        (void)GetObjectA(g_signInDrawing.background, sizeof background, &background);
        pixels.BaseAddress = background.dsBm.bmBits;
        EXPECT_EQ("eve@example.org|wrong", ControlText(d, IDC_EMAIL) + "|" + ControlText(d, IDC_PASSWORD));
        SetControlText(d, IDC_EMAIL, "");
        SetControlText(d, IDC_PASSWORD, "typed");
        for (int id : {IDC_REMEMBER, IDC_SIGN_IN_AUTOMATICALLY}) (void)SendDlgItemMessageA(d, id, BM_CLICK, 0, 0);
        (void)SendMessageA(d, WM_COMMAND, IDOK, 0);
        afterErrors = TakeLayout(d);
        EXPECT_EQ("eve@example.org|wrong", StoredCredentials());
        SetControlText(d, IDC_EMAIL, u8"  zoë.łukasz@example.org ");
        SetControlText(d, IDC_PASSWORD, longText.c_str());
        PressEnter(d, IDC_PASSWORD);
    };
    EXPECT_EQ(IDOK, Run({proxy, reject, emptyThenFail}));
    // Untrimmed, in UTF-8, and cut at a character's end to the 4095 bytes the settings hold.
    ASSERT_EQ(3u, g_fake.checks.size());
    EXPECT_EQ(u8"  zoë.łukasz@example.org |" + longText.substr(0, 4094) + "|remember|auto", g_fake.checks[2]);
    EXPECT_EQ((std::vector<ResultCode>{Failure | ProxyRefused, Failure | ServerError}), g_fake.reports);
    // From the heading's bottom to the error line's, the last two laid out: twelve dialog units,
    // well over a handful of pixels at any font size; the second error moves nothing more. The
    // display scale tests see that the background is rendered anew at the taller size.
    const int distance = start[kLaidOutCount].bottom - start[kLaidOutCount - 1].bottom;
    EXPECT_GT(distance, 10);
    ExpectMovedBy(start, afterErrors, distance);
    // The background's pixels were mapped for it alone and went back to the system with it.
    ASSERT_NE(nullptr, pixels.BaseAddress);
    EXPECT_TRUE(VirtualQuery(pixels.BaseAddress, &pixels, sizeof pixels) && pixels.State == MEM_FREE);
}

// A control's client pixels as drawn on screen, row by row.
std::vector<COLORREF> TakePixels(HWND control, LONG* width) {
    (void)UpdateWindow(control);
    RECT client;
    (void)GetClientRect(control, &client);
    *width = client.right;
    std::vector<COLORREF> pixels;
    HDC dc = GetDC(control);
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x) pixels.push_back(GetPixel(dc, x, y));
    (void)ReleaseDC(control, dc);
    return pixels;
}

// The box around the pixels where two pictures of a given width differ.
RECT Differing(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b, LONG width) {
    RECT box = {width, LONG_MAX, 0, 0};
    for (LONG i = 0; i < static_cast<LONG>(a.size()); ++i)
        if (a[i] != b[i]) box = {std::min(box.left, i % width), std::min(box.top, i / width),
                                 std::max(box.right, i % width + 1), std::max(box.bottom, i / width + 1)};
    return box;
}

// From "Sign In" through both links and round to the e-mail field. The third row holds Enter down.
const struct {
    WPARAM key;
    LPARAM flags;
    int focusAfter;
    const char* opened;
} kKeyRows[] = {
    {VK_TAB, 0, IDC_FORGOT_LINK, nullptr},
    {VK_RETURN, 0, IDC_FORGOT_LINK, "open https://pages.example.org:8080/apprestore.php"},
    {VK_RETURN, 1 << 30, IDC_FORGOT_LINK, nullptr},
    {VK_TAB, 0, IDC_SIGNUP_LINK, nullptr},
    {VK_SPACE, 0, IDC_SIGNUP_LINK, "open https://pages.example.org:8080/appsignup.php?skip-install"},
    {VK_TAB, 0, IDC_EMAIL, nullptr},
};

// By mouse on the configured server, then by keys, without signing in.
TEST_F(SignInDialog, LinksOpenTheirPagesByMouseAndKeysWithoutSigningInAndFocusFramesTheText) {
    const std::string longHost(sizeof g_settings.host - 1, 'h');
    // The longest host the settings hold still fits the address.
    SetRecord(longHost.c_str(), "/app", "");
    auto press = [](HWND d, int id) {
        (void)SendMessageA(GetDlgItem(d, id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    };
    // The directory is used as stored: no slash is added before the page.
    const std::vector<std::string> clicked = {
        "open http://" + longHost + "/appsignup.php?skip-install",
        "open https://pages.example.org:8080/apprestore.php",
    };
    // With COM, as in the program, so that the links could be annotated for screen readers.
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    std::vector<COLORREF> unfocused, focused;
    LONG width = 0;
    std::vector<DialogStep> steps = {[&](HWND d) {
        HWND forgot = GetDlgItem(d, IDC_FORGOT_LINK);
        (void)SendMessageA(forgot, WM_SETCURSOR, reinterpret_cast<WPARAM>(forgot), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(LoadCursor(nullptr, IDC_HAND), GetCursor());
        press(d, IDC_SIGNUP_LINK);
        // A secure server on a port of its own, which the keys go to as well.
        SetRecord("pages.example.org", "/app", "8080", "", "", false, true);
        press(d, IDC_FORGOT_LINK);
        // Plain text around the link opens nothing.
        press(d, IDC_SIGNUP_PROMPT);
        EXPECT_EQ(clicked, g_fake.opened);
        g_fake.opened.clear();
        // A typed e-mail address, which a sign-in would send.
        SetControlText(d, IDC_EMAIL, "dave@example.org");
        (void)SetFocus(GetDlgItem(d, IDOK));
        unfocused = TakePixels(forgot, &width);
    }};
    for (const auto& row : kKeyRows) {
        steps.push_back([&row](HWND) { (void)PostMessageA(GetFocus(), WM_KEYDOWN, row.key, row.flags | 1); });
        steps.push_back([&](HWND d) {
            EXPECT_EQ(GetDlgItem(d, row.focusAfter), GetFocus()) << "after key " << row.key;
            EXPECT_EQ(row.opened ? std::vector<std::string>{row.opened} : std::vector<std::string>{}, g_fake.opened);
            g_fake.opened.clear();
            if (focused.empty()) focused = TakePixels(GetFocus(), &width);
        });
    }
    EXPECT_EQ(IDCANCEL, Run(steps));
    // Where no screen reader runs, keys, focus and closing ask for no accessible object: the
    // accessibility DLL stays unloaded.
    EXPECT_EQ(nullptr, GetModuleHandleA("oleacc.dll"));
    // A screen reader's first question has the links annotated, which loads it. Wine 8's service
    // then refuses the annotation (E_NOTIMPL); Windows keeps it.
    Run({[](HWND d) { (void)SendMessageA(d, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT)); }});
    EXPECT_NE(nullptr, GetModuleHandleA("oleacc.dll"));
    CoUninitialize();
    // Around the text at every display scale, as far as the label reaches, and no wider than it.
    const RECT ink = Differing(unfocused, std::vector<COLORREF>(unfocused.size(), RGB(255, 255, 255)), width);
    const RECT frame = Differing(unfocused, focused, width);
    RECT inside;
    EXPECT_TRUE(SubtractRect(&inside, &ink, &frame) == FALSE) << "the text is not inside the focus rectangle";
    EXPECT_LE(frame.right, ink.right + 2) << "the focus rectangle is wider than the text";
}

// Opened as after the server refused the kept password at start: told, nothing sent, and the
// password selected for retyping. The automatic sign-in goes with "Remember me", whose clicks
// untick and tick it again as it was left.
TEST_F(SignInDialog, ClosingAfterARejectedAttemptPutsBackTheCredentialsInForce) {
    SetRecord("pages.example.org", "/", "", u8"änn@example.com", u8"gut-€-密码", true);
    g_settings.autoSignIn = true;
    g_settings.state = SettingsState::Loaded;
    g_fake.answers = {Failure | CredentialsRejected};
    std::string boxes;
    auto refused = [&](HWND d) {
        // Filled in whole from the UTF-8 the settings hold, and masked.
        EXPECT_EQ(u8"gut-€-密码", ControlText(d, IDC_PASSWORD));
        EXPECT_TRUE((GetWindowLongA(GetDlgItem(d, IDC_PASSWORD), GWL_STYLE) & ES_PASSWORD) && g_fake.checks.empty());
        EXPECT_TRUE(ControlVisible(d, IDC_ERROR_LABEL) && GetFocus() == GetDlgItem(d, IDC_PASSWORD));
        EXPECT_EQ("Invalid e-mail address or password", ControlText(d, IDC_ERROR_LABEL));
        EXPECT_EQ(MAKELRESULT(0, 8), SendDlgItemMessageW(d, IDC_PASSWORD, EM_GETSEL, 0, 0));
        SetControlText(d, IDC_PASSWORD, "bad");
        // Id 0 clicks nothing: the box as the dialog opened.
        for (int id : {0, IDC_REMEMBER, IDC_REMEMBER, IDC_SIGN_IN_AUTOMATICALLY, IDC_REMEMBER, IDC_REMEMBER,
                       IDC_SIGN_IN_AUTOMATICALLY, IDC_REMEMBER})
            boxes += ((void)SendDlgItemMessageA(d, id, BM_CLICK, 0, 0), AutoSignInBox(d));
        PressEnter(d, IDC_PASSWORD);
    };
    EXPECT_EQ(IDCANCEL, RunDialog(IDD_SIGNIN, SignInDialogProc, {refused, [&](HWND d) { boxes += AutoSignInBox(d); }},
                                  0, SignInDialogRefused));
    EXPECT_EQ("x/x-/-x//", boxes);
    EXPECT_EQ(std::vector<std::string>{u8"änn@example.com|bad"}, g_fake.checks);
    // A running session's next refresh sends these, and nothing is left to save.
    EXPECT_EQ(u8"änn@example.com|gut-€-密码|remember|auto", StoredCredentials());
    EXPECT_EQ(SettingsState::Loaded, State());
}

TEST_F(SignInDialog, EachOpeningCreatesItsDrawingObjectsAndClosingDeletesThemAll) {
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int opening = 1; opening <= 2; ++opening) {
        std::vector<HGDIOBJ> made;
        Run({[&](HWND) { made = DrawingObjects(); }});
        for (size_t i = 0; i < made.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "opening " << opening << ", drawing object " << i);
            EXPECT_NE(nullptr, made[i]);
            EXPECT_EQ(nullptr, DrawingObjects()[i]);
            EXPECT_EQ(0u, GetObjectType(made[i])) << "forgotten, not deleted";
        }
    }
    // Under Wine this count is not kept and reads 0 both times; on Windows it must not grow.
    // The soak cannot see GDI objects under Wine either, so this test stands in for it.
    EXPECT_EQ(gdiBefore, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
}

// English first, then each language as its resource script tags it.
const LANGID kLanguages[] = {0x0409, 0x0007, 0x000C, 0x000A, 0x0010, 0x0416, 0x0013, 0x0015,
                             0x0019, 0x001F, 0x0011, 0x0012, 0x0804, 0x0404, 0x0001, 0x000D};

// No two items of one menu, or controls of one dialog, from texts[first] on share the key after
// a single "&".
void ExpectOwnKeys(const std::vector<std::wstring>& texts, size_t first) {
    std::wstring keys;
    for (size_t t = first; t < texts.size(); ++t)
        for (size_t i = texts[t].find(L'&'); i != texts[t].npos && i + 1 < texts[t].size(); i = texts[t].find(L'&', i + 2))
            if (texts[t][i + 1] != L'&') keys += texts[t][i + 1];
    (void)CharLowerBuffW(&keys[0], static_cast<DWORD>(keys.size()));
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(i, keys.find(keys[i])) << testing::PrintToString(keys);
}

// Every text of the string table, the tray menus (id=text) and both dialogs, in order, each
// dialog opened as the program opens it in that language. On the way each dialog's texts, the
// error line's two among them, are checked to fit, each menu's and dialog's keys to be its own,
// and each dialog to open centred on the whole screen, mirrored when the language reads right
// to left; Enter closes the About box.
std::vector<std::wstring> ResourceTexts(LANGID language) {
    EXPECT_TRUE(SetProcessDefaultLayout(ReadsRightToLeft(language) ? LAYOUT_RTL : 0));
    std::vector<std::wstring> texts;
    wchar_t text[1024];
    for (UINT id = IDS_APP_TITLE; id <= IDS_PROXY_SIGN_IN; ++id, texts.push_back(text))
        LoadResourceTextIn(id, language, text, 1024);
    for (int menuId : {IDR_TRAY_SIGNED_IN, IDR_TRAY_SIGNED_OUT}) {
        HRSRC found = FindResourceExW(nullptr, MAKEINTRESOURCEW(4), MAKEINTRESOURCEW(menuId), language);  // RT_MENU
        HMENU menu = found ? LoadMenuIndirectW(LockResource(LoadResource(nullptr, found))) : nullptr;
        const size_t first = texts.size();
        for (int i = 0; i < GetMenuItemCount(GetSubMenu(menu, 0)); ++i)
            texts.push_back(GetMenuStringW(GetSubMenu(menu, 0), i, text, 1024, MF_BYPOSITION)
                                ? std::to_wstring(GetMenuItemID(GetSubMenu(menu, 0), i)) + L"=" + text : L"");
        ExpectOwnKeys(texts, first);
        (void)DestroyMenu(menu);
    }
    for (int dialogId : {IDD_SIGNIN, IDD_ABOUTBOX}) {
        const INT_PTR end = RunDialog(dialogId, dialogId == IDD_SIGNIN ? SignInDialogProc : AboutDialogProc, {[&](HWND d) {
            // To the pixel that halving an odd difference gives.
            RECT screen, box;
            (void)GetWindowRect(GetDesktopWindow(), &screen);
            (void)GetWindowRect(d, &box);
            EXPECT_LE(abs(screen.left + screen.right - box.left - box.right) + abs(screen.top + screen.bottom - box.top - box.bottom), 2);
            EXPECT_EQ(ReadsRightToLeft(language), IsMirrored(d) && IsMirrored(GetWindow(d, GW_OWNER)));
            ExpectTextsFit(d);
            const size_t first = texts.size();
            for (HWND child = GetWindow(d, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                texts.push_back(std::wstring(text, GetWindowTextW(child, text, 1024)));
            ExpectOwnKeys(texts, first);
            LoadResourceTextIn(IDS_EMAIL_REQUIRED, language, text, 1024);
            if (SetDlgItemTextW(d, IDC_ERROR_LABEL, text)) ExpectTextsFit(d);
            // E-mail addresses and passwords read left to right in every language, from the left end.
            for (int id : {IDC_EMAIL, IDC_PASSWORD})
                EXPECT_EQ(0, GetWindowLongW(GetDlgItem(d, id), GWL_EXSTYLE) & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING | WS_EX_RIGHT));
            if (dialogId == IDD_ABOUTBOX) (void)PostMessageA(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_RETURN, 0);
        }}, language);
        EXPECT_EQ(dialogId == IDD_ABOUTBOX ? IDOK : IDCANCEL, end);
    }
    return texts;
}

// The logo's middle row as the screen shows it, left to right: at the dialog's left edge, or at
// its right edge when it is mirrored.
std::vector<COLORREF> BannerRow(HWND dialog) {
    RECT client;
    (void)GetClientRect(dialog, &client);
    const RECT banner =
        PlaceBanner(ComputeSignInBackground(client.right, client.bottom, {0, 0, 0, 0, 0}).banner, DpiOfWindow(dialog)).target;
    HDC dc = GetDC(dialog);
    (void)SetLayout(dc, 0);
    std::vector<COLORREF> row;
    for (LONG x = 0; x < banner.right; ++x)
        row.push_back(GetPixel(dc, IsMirrored(dialog) ? client.right - banner.right + x : x, banner.bottom / 2));
    (void)ReleaseDC(dialog, dc);
    return row;
}

TEST(Languages, EveryTextIsTranslatedFitsAndRightToLeftLanguagesMirror) {
    // Names, paths, numbers and icons, which no language translates, and the one tooltip that
    // Spanish spells as English does.
    const std::wstring same =
        L"|Pagewren|\\Pagewren\\|config.xml|OK|(C) 2026 Pagewren|www.pagewren.com|Pagewren - Error|";
    const std::vector<std::wstring> english = ResourceTexts(kLanguages[0]);
    const size_t noticeSize = sizeof(NOTIFYICONDATAW::szInfo) / sizeof(wchar_t);
    for (LANGID language : kLanguages) {
        SCOPED_TRACE(testing::Message() << "language " << std::hex << language);
        const std::vector<std::wstring> texts = ResourceTexts(language);
        ASSERT_EQ(english.size(), texts.size());
        // Only the server's own words make a notification too long; they are cut where a line may break.
        std::wstring words = texts[IDS_SERVER_ERROR - IDS_APP_TITLE];
        for (int i = 0; i < 4; ++i) words += texts[IDS_IDENTITY_UNVERIFIED - IDS_APP_TITLE] + L" ";
        wchar_t notice[noticeSize] = L"";
        EXPECT_FALSE(AppendWholeWords(notice, noticeSize, words.c_str()));
        const size_t kept = lstrlenW(notice) - 1;
        EXPECT_EQ(words.substr(0, kept) + L"\u2026", notice);
        EXPECT_TRUE(kept > noticeSize / 2 && !(IsCharAlphaNumericW(words[kept - 1]) && IsCharAlphaNumericW(words[kept]) &&
                                               words[kept] < 0x3000)) << testing::PrintToString(notice);
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(english[i].empty(), texts[i].empty()) << i;
            const bool translated = english[i].empty() || english[i][0] == 0xFFFF ||
                                    english[i].rfind(L"Pagewren\r\nVersion ", 0) == 0 ||
                                    same.find(L"|" + english[i] + L"|") != same.npos || english[i] != texts[i];
            EXPECT_TRUE(language == kLanguages[0] || translated) << "untranslated: " << testing::PrintToString(texts[i]);
            // Any string may be told whole in a notification but the settings warnings, told in a box.
            const UINT id = IDS_APP_TITLE + static_cast<UINT>(i);
            EXPECT_TRUE(id > IDS_PROXY_SIGN_IN || id == IDS_SETTINGS_KEPT || id == IDS_SETTINGS_NOT_KEPT ||
                        texts[i].size() < noticeSize) << texts[i].size();
        }
        EXPECT_EQ(ReadsRightToLeft(language), language == 0x0001 || language == 0x000D);
        EXPECT_EQ(ReadsRightToLeft(language) ? UINT(MB_RTLREADING | MB_RIGHT) : 0u, BoxReadingFlags());
        if (!ReadsRightToLeft(language)) continue;
        // The logo reads from the right edge as from the left edge of the same template unmirrored.
        std::vector<COLORREF> rows[2];
        for (bool unmirrored : {false, true})
            RunDialog(IDD_SIGNIN, SignInDialogProc, {[&](HWND d) { rows[IsMirrored(d)] = BannerRow(d); }}, language, 0,
                      unmirrored);
        ASSERT_EQ(rows[0].size(), rows[1].size()) << "the dialog was not mirrored";
        EXPECT_NE(std::vector<COLORREF>(rows[0].size(), rows[0][0]), rows[0]) << "no logo in the row";
        // Stretched at another place, a few edge pixels round differently; flipped, most differ.
        EXPECT_GE(10 * std::inner_product(rows[0].begin(), rows[0].end(), rows[1].begin(), size_t(0), std::plus<size_t>(),
                                          std::equal_to<COLORREF>()), 9 * rows[0].size());
    }
    EXPECT_TRUE(SetProcessDefaultLayout(0));
}

}  // namespace
