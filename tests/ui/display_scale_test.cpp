// The sign-in dialog and the tray at the display scale of the run. ctest runs this program at
// 96 DPI in the shared prefix and at 144 and 192 in a prefix of its own, telling it the DPI it
// set through PAGEWREN_EXPECTED_DPI. Under Wine 8 (measured): LogPixels in
// HKCU\Control Panel\Desktop is read when a process starts; programs with and without the
// DPI-aware manifest alike see that DPI in GetDeviceCaps, GetDpiForWindow and the system
// metrics (small icon 16/24/32, icon 32/48/64 at 96/144/192), and nothing is stretched as a
// bitmap, as Windows does with unaware programs. Wine never sends WM_DPICHANGED itself, so
// the test sends it.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/platform_calls.h"
#include "app/tray_icon.h"
#include "res/resource.h"
#include "storage/settings.h"
#include "ui/dialog_runner.h"
#include "ui/display_scale.h"
#include "ui/signin_background.h"
#include "ui/signin_dialog.h"
#include "ui/signin_look.h"

namespace {

// One control of each of the nine fonts.
const int kFontedControls[] = {IDC_HEADING, IDC_TITLE,         IDC_EMAIL_LABEL, IDC_EMAIL, IDOK,
                               IDC_SUBTITLE, IDC_FORGOT_LINK, IDC_SIGNUP_PROMPT, IDC_ERROR_LABEL};
const int kFontCount = sizeof kFontedControls / sizeof kFontedControls[0];

struct Scale {
    UINT dpi;
    int smallIcon;
    int fontHeights[kFontCount];  // in kFontedControls order
};

const Scale kScales[] = {
    {96, 16, {-16, -19, -16, -14, -13, -17, -13, -13, -13}},
    // Truncated toward zero: 13 x 1.5 is 19.5, drawn as 19.
    {144, 24, {-24, -28, -24, -21, -19, -25, -19, -19, -19}},
    {192, 32, {-32, -38, -32, -28, -26, -34, -26, -26, -26}},
};
const int kScaleCount = sizeof kScales / sizeof kScales[0];

// The row of the DPI ctest set for this run; the next row is the one a DPI change goes to.
int RunScale() {
    const char* expected = getenv("PAGEWREN_EXPECTED_DPI");
    const UINT dpi = expected ? static_cast<UINT>(atoi(expected)) : DefaultDpi;
    for (int i = 0; i < kScaleCount; ++i)
        if (kScales[i].dpi == dpi) return i;
    return -1;
}

// The fonts are the scale's; the background is rendered for the current client size, its banner
// at the image's own size or below; the image really is the size the placement scales from.
void ExpectLook(HWND dialog, const Scale& scale) {
    for (int i = 0; i < kFontCount; ++i) {
        LOGFONTA font = {};
        (void)GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, kFontedControls[i], WM_GETFONT, 0, 0)),
                         sizeof font, &font);
        EXPECT_EQ(scale.fontHeights[i], font.lfHeight) << "control " << kFontedControls[i] << " at " << scale.dpi;
    }
    const UINT dpi = scale.dpi;
    RECT client;
    BITMAP rendered = {}, image = {};
    (void)GetClientRect(dialog, &client);
    ASSERT_NE(0, GetObjectA(g_signInDrawing.background, sizeof rendered, &rendered)) << dpi;
    EXPECT_EQ(client.right, rendered.bmWidth) << dpi;
    EXPECT_EQ(client.bottom, rendered.bmHeight) << dpi;
    const BannerPlacement placed =
        PlaceBanner(ComputeSignInBackground(client.right, client.bottom, {0, 0, 0, 0, 0}).banner, dpi);
    HGDIOBJ bitmap = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(placed.resourceId), IMAGE_BITMAP, 0, 0, 0);
    (void)GetObjectA(bitmap, sizeof image, &image);
    (void)DeleteObject(bitmap);
    EXPECT_EQ(placed.imageWidth, image.bmWidth) << dpi;
    EXPECT_EQ(placed.imageHeight, image.bmHeight) << dpi;
    if (dpi > DefaultDpi) {
        EXPECT_LE(placed.target.right - placed.target.left, placed.imageWidth) << dpi;
        EXPECT_LE(placed.target.bottom - placed.target.top, placed.imageHeight) << dpi;
    }
}

// Whether the icon group holds an image of size x size pixels, which is then shown unscaled.
bool HasIconImage(int groupId, int size) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(groupId), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    if (!group) return false;
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    for (WORD i = 0; i < count; ++i)
        if (group[6 + 14 * i] == size) return true;
    return false;
}

int IconWidth(HICON icon) {
    ICONINFO info = {};
    BITMAP mask = {};
    if (!GetIconInfo(icon, &info)) return 0;
    (void)GetObjectA(info.hbmMask, sizeof mask, &mask);
    (void)DeleteObject(info.hbmMask);
    if (info.hbmColor) (void)DeleteObject(info.hbmColor);
    return mask.bmWidth;
}

HICON g_shownIcon = nullptr;

BOOL WINAPI RecordTrayIcon(DWORD, PNOTIFYICONDATAW data) {
    if (data->uFlags & NIF_ICON) g_shownIcon = data->hIcon;
    return TRUE;
}

// Both take the run's scale and, on a DPI change, the next row's.
TEST(DisplayScale, SignInDialogLookAndTrayIconsFollowTheScaleAndAreRemadeOnADpiChange) {
    const int row = RunScale();
    ASSERT_NE(-1, row) << "no row for PAGEWREN_EXPECTED_DPI";
    const Scale& now = kScales[row];
    const Scale& next = kScales[(row + 1) % kScaleCount];
    ASSERT_EQ(now.dpi, DpiOfWindow(nullptr)) << "the display scale ctest set did not take";
    ResetToDefaults();
    RECT suggested = {}, moved = {}, fieldBefore = {}, fieldAfter = {};
    HGDIOBJ old[SignInFontCount + 1] = {};  // the fonts and the background of the first DPI
    RunDialog(IDD_SIGNIN, SignInDialogProc,
              {[](HWND d) { (void)SendMessageA(d, WM_COMMAND, IDOK, 0); },  // no e-mail: the error line moves the form
               [&](HWND d) {
                   ExpectLook(d, now);  // the background rendered anew for the taller form
                   RECT window;
                   (void)GetWindowRect(d, &window);
                   suggested = {window.left, window.top,
                                window.left + MulDiv(window.right - window.left, next.dpi, now.dpi),
                                window.top + MulDiv(window.bottom - window.top, next.dpi, now.dpi)};
                   (void)GetWindowRect(GetDlgItem(d, IDC_EMAIL), &fieldBefore);
                   for (int i = 0; i < SignInFontCount; ++i) old[i] = g_signInDrawing.fonts[i];
                   old[SignInFontCount] = g_signInDrawing.background;
                   (void)SendMessageA(d, WM_DPICHANGED, MAKEWPARAM(next.dpi, next.dpi),
                                      reinterpret_cast<LPARAM>(&suggested));
                   (void)GetWindowRect(d, &moved);
                   (void)GetWindowRect(GetDlgItem(d, IDC_EMAIL), &fieldAfter);
               },
               [&](HWND d) { ExpectLook(d, next); }});
    EXPECT_TRUE(EqualRect(&suggested, &moved));
    // The controls follow the new DPI, to the pixel that rounding gives.
    EXPECT_NEAR(MulDiv(fieldBefore.right - fieldBefore.left, next.dpi, now.dpi), fieldAfter.right - fieldAfter.left, 1);
    for (HGDIOBJ object : old) EXPECT_EQ(0u, GetObjectType(object)) << "a drawing object of the old DPI is left";

    // The tray shows native icons of the small icon size and reloads them.
    for (const Scale& scale : kScales)
        for (int id : {IDI_TRAY_SIGNED_IN, IDI_TRAY_SIGNED_OUT, IDI_TRAY_ERROR})
            EXPECT_TRUE(HasIconImage(id, scale.smallIcon)) << "icon " << id << " at " << scale.dpi;
    g_app.instance = GetModuleHandleA(nullptr);
    g_app.state = SignedIn;
    g_platform.shellNotifyIcon = RecordTrayIcon;
    LoadTrayIcons(g_app.instance);
    EXPECT_EQ(now.smallIcon, IconWidth(g_app.signedInIcon));
    (void)MainWindowProc(nullptr, WM_DPICHANGED, MAKEWPARAM(next.dpi, next.dpi), 0);
    EXPECT_EQ(g_app.signedInIcon, g_shownIcon);
    EXPECT_EQ(next.smallIcon, IconWidth(g_shownIcon));
    RemoveTrayIcon();
    g_platform = RealPlatformCalls();
}

}  // namespace
