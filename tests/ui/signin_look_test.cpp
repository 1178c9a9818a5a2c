// The sign-in dialog's look on the display: fonts, colours, the painted background and the
// life of its drawing objects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "storage/storage_test_support.h"
#include "ui/dialog_runner.h"
#include "ui/signin_background.h"
#include "ui/signin_dialog.h"
#include "ui/signin_look.h"

namespace {

struct DrawingSnapshot {
    std::vector<HGDIOBJ> handles;  // brush, nine fonts, background
};

DrawingSnapshot Snapshot() {
    DrawingSnapshot s;
    s.handles.push_back(g_signInDrawing.whiteBrush);
    for (HFONT font : g_signInDrawing.fonts) s.handles.push_back(font);
    s.handles.push_back(g_signInDrawing.background);
    return s;
}

RECT ScreenRect(HWND dialog, int id) {
    RECT rect = {};
    (void)GetWindowRect(GetDlgItem(dialog, id), &rect);
    return rect;
}

// The background's layout for the dialog as it now lies on the screen.
SignInBackgroundGeometry ExpectedGeometry(HWND dialog, int width, int height) {
    POINT origin = {0, 0};
    (void)ClientToScreen(dialog, &origin);
    const SignInAnchors anchors = {ScreenRect(dialog, IDC_TITLE).bottom, ScreenRect(dialog, IDC_HEADING).top,
                                   ScreenRect(dialog, IDC_FORGOT_LINK).bottom,
                                   ScreenRect(dialog, IDC_SIGNUP_PROMPT).top, origin.y};
    return ComputeSignInBackground(width, height, anchors);
}

class SignInLook : public testing::Test {
protected:
    void SetUp() override {
        FreshSettings();
        ResetToDefaults();
    }
};

TEST_F(SignInLook, EachControlGetsItsArialFont) {
    struct Expected {
        int id;
        int height;
        int weight;
        bool underline;
    };
    const Expected table[] = {
        {IDC_HEADING, -16, 700, false},
        {IDC_EMAIL_LABEL, -16, 400, false},
        {IDC_PASSWORD_LABEL, -16, 400, false},
        {IDC_REMEMBER, -16, 400, false},
        {IDC_EMAIL, -14, 400, false},
        {IDC_PASSWORD, -14, 400, false},
        {IDOK, -13, 400, false},
        {IDC_TITLE, -19, 400, false},
        {IDC_SUBTITLE, -17, 400, false},
        {IDC_FORGOT_LINK, -13, 400, true},
        {IDC_SIGNUP_LINK, -13, 400, true},
        {IDC_SIGNUP_PROMPT, -13, 400, false},
        {IDC_SIGNUP_TAIL, -13, 400, false},
        {IDC_ERROR_LABEL, -13, 400, false},
    };
    std::vector<LOGFONTA> fonts;
    std::vector<HFONT> handles;
    RunDialog(IDD_SIGNIN, SignInDialogProc, {[&](HWND d) {
                  for (const Expected& e : table) {
                      HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageA(d, e.id, WM_GETFONT, 0, 0));
                      LOGFONTA lf = {};
                      (void)GetObjectA(font, sizeof lf, &lf);
                      fonts.push_back(lf);
                      handles.push_back(font);
                  }
              }});
    ASSERT_EQ(sizeof table / sizeof table[0], fonts.size());
    for (size_t i = 0; i < fonts.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "control " << table[i].id);
        EXPECT_STREQ("Arial", fonts[i].lfFaceName);
        EXPECT_EQ(table[i].height, fonts[i].lfHeight);
        EXPECT_EQ(table[i].weight, fonts[i].lfWeight);
        EXPECT_EQ(table[i].underline, fonts[i].lfUnderline != 0);
        EXPECT_EQ(0, fonts[i].lfCharSet);
    }
    // The button, the sign-up line and the error line have fonts of their own.
    EXPECT_NE(handles[6], handles[11]);
    EXPECT_NE(handles[11], handles[13]);
    EXPECT_EQ(handles[11], handles[12]);
}

TEST_F(SignInLook, BackgroundIsDrawnWhereItsGeometrySays) {
    SignInBackgroundGeometry g = {};
    std::vector<std::pair<const char*, COLORREF>> seen;
    std::vector<std::pair<const char*, COLORREF>> wanted;
    RunDialog(IDD_SIGNIN, SignInDialogProc, {[&](HWND d) {
                  RECT client;
                  (void)GetClientRect(d, &client);
                  g = ExpectedGeometry(d, client.right, client.bottom);
                  HDC dc = CreateCompatibleDC(nullptr);
                  HGDIOBJ old = SelectObject(dc, g_signInDrawing.background);
                  auto probe = [&](const char* what, int x, int y, COLORREF colour) {
                      seen.push_back({what, GetPixel(dc, x, y)});
                      wanted.push_back({what, colour});
                  };
                  const COLORREF white = RGB(255, 255, 255), blue = RGB(0, 102, 204);
                  // The banner's blue page, between its text lines, near the top left.
                  probe("banner page", g.banner.right / 5, g.banner.bottom / 2, blue);
                  probe("right of banner", g.banner.right + 1, 2, white);
                  probe("rule start", g.ruleLeft, g.ruleY, blue);
                  probe("rule end", g.ruleRight - 1, g.ruleY, blue);
                  probe("after rule", g.ruleRight, g.ruleY, white);
                  probe("before rule", g.ruleLeft - 1, g.ruleY, white);
                  probe("panel border", g.panel.left, (g.panel.top + g.panel.bottom) / 2, RGB(238, 238, 238));
                  probe("panel bottom", (g.panel.left + g.panel.right) / 2, g.panel.bottom - 1, RGB(238, 238, 238));
                  probe("panel inside", g.panel.left + 3, g.panel.top + 3, RGB(254, 254, 254));
                  probe("left of panel", g.panel.left - 1, g.panel.top + 3, white);
                  probe("below panel", g.panel.left + 3, g.panel.bottom, white);
                  probe("separator", (g.separatorLeft + g.separatorRight) / 2, g.separatorY, RGB(187, 187, 187));
                  (void)SelectObject(dc, old);
                  (void)DeleteDC(dc);
              }});
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(wanted[i].second, seen[i].second) << wanted[i].first << std::hex << " got " << seen[i].second;
}

TEST_F(SignInLook, EachOpeningCreatesItsDrawingObjectsAndClosingDeletesThemAll) {
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    DrawingSnapshot first, second;
    RunDialog(IDD_SIGNIN, SignInDialogProc, {[&](HWND) { first = Snapshot(); }});
    const DrawingSnapshot afterFirst = Snapshot();
    std::vector<DWORD> typesAfterFirst;
    for (HGDIOBJ h : first.handles) typesAfterFirst.push_back(GetObjectType(h));
    RunDialog(IDD_SIGNIN, SignInDialogProc, {[&](HWND) { second = Snapshot(); }});
    const DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);

    for (size_t i = 0; i < first.handles.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "drawing object " << i);
        EXPECT_NE(nullptr, first.handles[i]);
        EXPECT_NE(nullptr, second.handles[i]);
        EXPECT_EQ(nullptr, afterFirst.handles[i]);
        // Deleted when the first opening closed.
        EXPECT_EQ(0u, typesAfterFirst[i]);
    }
    // Under Wine this count is not kept and reads 0 both times; on Windows it must not grow.
    EXPECT_EQ(gdiBefore, gdiAfter);
}

}  // namespace
