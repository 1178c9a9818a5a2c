// The dialog templates as the resource compiler built them: styles, fonts, places and texts.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "storage/default_server.h"
#include "ui/dialog_template.h"

namespace {

struct ExpectedItem {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    short x, y, cx, cy;
};

struct ExpectedDialog {
    DWORD style;
    short x, y, cx, cy;
    const char* caption;
    int pointSize;
    int charset;
    const char* face;
};

void ExpectDialog(const DialogTemplate& t, const ExpectedDialog& e) {
    EXPECT_EQ(e.style, t.style) << std::hex << t.style;
    EXPECT_EQ(0u, t.exStyle);
    EXPECT_EQ(e.x, t.x);
    EXPECT_EQ(e.y, t.y);
    EXPECT_EQ(e.cx, t.cx);
    EXPECT_EQ(e.cy, t.cy);
    EXPECT_EQ("", t.menu);
    EXPECT_EQ("", t.className);
    EXPECT_EQ(e.caption, t.caption);
    EXPECT_EQ(e.pointSize, t.pointSize);
    EXPECT_EQ(400, t.weight);
    EXPECT_EQ(0, t.italic);
    EXPECT_EQ(e.charset, t.charset);
    EXPECT_EQ(e.face, t.face);
}

void ExpectItems(const DialogTemplate& t, const ExpectedItem* expected, size_t count) {
    ASSERT_EQ(count, t.items.size());
    for (size_t i = 0; i < count; ++i) {
        const ExpectedItem& e = expected[i];
        const TemplateItem& item = t.items[i];
        SCOPED_TRACE(testing::Message() << "item " << i << " id " << e.id);
        EXPECT_EQ(e.id, item.id);
        EXPECT_EQ(e.className, item.className);
        EXPECT_EQ(e.text, item.text);
        EXPECT_EQ(e.style, item.style) << std::hex << item.style;
        EXPECT_EQ(0u, item.exStyle);
        EXPECT_EQ(e.x, item.x);
        EXPECT_EQ(e.y, item.y);
        EXPECT_EQ(e.cx, item.cx);
        EXPECT_EQ(e.cy, item.cy);
    }
}

TEST(DialogTemplates, SignInDialog) {
    DialogTemplate t;
    ASSERT_TRUE(ReadDialogTemplate(IDD_SIGNIN, &t));
    ExpectDialog(t, {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS | DS_CENTER, 0, 0,
                     278, 217, "Pagewren", 8, 1, "MS Shell Dlg"});

    const ExpectedItem items[] = {
        {IDC_SUBTITLE, "STATIC", "- Sign In", 0x50020200, 114, 6, 45, 14},
        {IDC_TITLE, "STATIC", "Pagewren", 0x50020202, 48, 6, 64, 14},
        {IDC_HEADING, "STATIC", "Sign In to Pagewren", 0x50020200, 39, 55, 163, 13},
        {IDC_EMAIL_LABEL, "STATIC", "e-mail:", 0x50020202, 22, 76, 64, 12},
        {IDC_PASSWORD_LABEL, "STATIC", "password:", 0x50020202, 21, 94, 65, 12},
        {IDC_EMAIL, "EDIT", "", 0x50810080, 91, 74, 134, 15},
        {IDC_PASSWORD, "EDIT", "", 0x508100A0, 91, 93, 134, 15},
        {IDC_REMEMBER, "BUTTON", "Remember me", 0x50010003, 78, 112, 121, 11},
        {IDOK, "BUTTON", "Sign In", 0x50010000, 169, 128, 56, 15},
        {IDC_FORGOT_LINK, "STATIC", "Forgot your password?", 0x50020300, 40, 151, 91, 10},
        {IDC_SIGNUP_PROMPT, "STATIC", "Don`t have an account yet?", 0x50020200, 40, 171, 106, 10},
        {IDC_SIGNUP_LINK, "STATIC", "Click here", 0x50020300, 147, 171, 42, 10},
        {IDC_SIGNUP_TAIL, "STATIC", "to sign up!", 0x50020200, 188, 171, 49, 10},
        {IDC_ERROR_LABEL, "STATIC", "Invalid e-mail address or password", 0x40020200, 40, 70, 154, 10},
    };
    ExpectItems(t, items, sizeof items / sizeof items[0]);
}

TEST(DialogTemplates, AboutBox) {
    DialogTemplate t;
    ASSERT_TRUE(ReadDialogTemplate(IDD_ABOUTBOX, &t));
    ExpectDialog(t, {0x00C800C0, 22, 17, 120, 60, "About", 10, 204, "MS Sans Serif"});

    const ExpectedItem items[] = {
        {IDCANCEL, "STATIC", "#107", 0x50000003, 5, 4, 20, 20},
        {-1, "STATIC", "Pagewren\r\nVersion 1.0.1.11", 0x50020080, 29, 4, 61, 16},
        {IDOK, "BUTTON", "OK", 0x50030001, 41, 41, 38, 12},
        {-1, "STATIC", "(C) 2026 Pagewren", 0x50020000, 29, 20, 83, 8},
        {-1, "STATIC", DEFAULT_SERVER_WEB_ADDRESS, 0x50020000, 29, 28, 58, 8},
    };
    ExpectItems(t, items, sizeof items / sizeof items[0]);
}

}  // namespace
