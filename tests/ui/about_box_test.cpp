// The About box run modally on the display.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "ui/about_box.h"
#include "ui/center_on_desktop.h"
#include "ui/dialog_runner.h"
#include "res/resource.h"

namespace {

// The static texts with id -1, each with the size it needs and the size it has.
struct Line {
    std::string text;
    SIZE needed;
    SIZE available;
};

std::vector<Line> MeasureTexts(HWND dialog) {
    std::vector<Line> lines;
    HDC dc = GetDC(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (LOWORD(GetDlgCtrlID(child)) != 0xFFFF) continue;
        char text[256];
        (void)GetWindowTextA(child, text, sizeof text);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
        RECT needed = {0, 0, 0, 0};
        (void)DrawTextA(dc, text, -1, &needed, DT_CALCRECT | DT_NOPREFIX);
        (void)SelectObject(dc, old);
        RECT client;
        (void)GetClientRect(child, &client);
        lines.push_back({text, {needed.right, needed.bottom}, {client.right, client.bottom}});
    }
    (void)ReleaseDC(dialog, dc);
    return lines;
}

std::string FileVersionText() {
    char path[MAX_PATH];
    if (GetModuleFileNameA(nullptr, path, sizeof path) == 0) return "";
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    std::string block(size, '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (size == 0 || !GetFileVersionInfoA(path, 0, size, &block[0]) ||
        !VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&info), &infoSize))
        return "";
    char text[64];
    (void)snprintf(text, sizeof text, "Version %u.%u.%u.%u", unsigned(HIWORD(info->dwFileVersionMS)),
                   unsigned(LOWORD(info->dwFileVersionMS)), unsigned(HIWORD(info->dwFileVersionLS)),
                   unsigned(LOWORD(info->dwFileVersionLS)));
    return text;
}

TEST(AboutBox, OpensCentredOnTheDesktopWithTheOkButtonFocused) {
    RECT desktop = {}, box = {};
    bool okFocused = false, hasIcon = false;
    const INT_PTR result = RunDialog(IDD_ABOUTBOX, AboutDialogProc, {[&](HWND d) {
                                         (void)GetWindowRect(GetDesktopWindow(), &desktop);
                                         (void)GetWindowRect(d, &box);
                                         okFocused = GetFocus() == GetDlgItem(d, IDOK);
                                         hasIcon = SendDlgItemMessageA(d, IDCANCEL, STM_GETICON, 0, 0) != 0;
                                     }});
    EXPECT_EQ(IDCANCEL, result);  // the close box
    const POINT centred = CenteredPosition(desktop, box);
    EXPECT_EQ(centred.x, box.left);
    EXPECT_EQ(centred.y, box.top);
    // Not left at the template's place near the top left corner.
    EXPECT_GT(box.left, 100);
    EXPECT_TRUE(okFocused);
    EXPECT_TRUE(hasIcon);
}

TEST(AboutBox, EnterAndEscapeCloseIt) {
    struct Case {
        WPARAM key;
        INT_PTR result;
    };
    const Case cases[] = {{VK_RETURN, IDOK}, {VK_ESCAPE, IDCANCEL}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, RunDialog(IDD_ABOUTBOX, AboutDialogProc,
                                      {[&](HWND d) { (void)PostMessageA(GetDlgItem(d, IDOK), WM_KEYDOWN, c.key, 0); }}))
            << "key " << c.key;
    }
}

TEST(AboutBox, EveryTextFitsItsLineAndTheVersionMatchesTheProgram) {
    std::vector<Line> lines;
    RunDialog(IDD_ABOUTBOX, AboutDialogProc, {[&](HWND d) { lines = MeasureTexts(d); }});
    ASSERT_EQ(3u, lines.size());
    for (const Line& line : lines) {
        EXPECT_LE(line.needed.cx, line.available.cx) << line.text;
        EXPECT_LE(line.needed.cy, line.available.cy) << line.text;
    }
    EXPECT_EQ("Pagewren\r\n" + FileVersionText(), lines[0].text);
}

}  // namespace
