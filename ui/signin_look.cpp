#include "ui/signin_look.h"

#include "res/resource.h"
#include "storage/resource_text.h"
#include "ui/display_scale.h"
#include "ui/reading_order.h"
#include "ui/signin_background.h"
#include "ui/signin_dialog.h"

SignInDrawing g_signInDrawing = {};

namespace {

struct FontSpec {
    int height;
    int weight;
    bool underline;
};

// In creation order, heights at 96 DPI; fonts 4, 8 and 9 are built alike but are separate objects.
const FontSpec kFonts[SignInFontCount] = {
    {-16, FW_BOLD, false},    // heading
    {-16, FW_NORMAL, false},  // field labels and both check boxes
    {-14, FW_NORMAL, false},  // edit fields
    {-13, FW_NORMAL, false},  // "Sign In" button
    {-19, FW_NORMAL, false},  // title
    {-17, FW_NORMAL, false},  // subtitle
    {-13, FW_NORMAL, true},   // links
    {-13, FW_NORMAL, false},  // sign-up prompt and tail
    {-13, FW_NORMAL, false},  // error line
};

struct ControlFont {
    int controlId;
    int font;
};

const ControlFont kControlFonts[] = {
    {IDC_HEADING, 0},     {IDC_EMAIL_LABEL, 1},   {IDC_PASSWORD_LABEL, 1}, {IDC_REMEMBER, 1},
    {IDC_SIGN_IN_AUTOMATICALLY, 1},               {IDOK, 3},               {IDC_EMAIL, 2},
    {IDC_PASSWORD, 2},    {IDC_TITLE, 4},         {IDC_SUBTITLE, 5},       {IDC_FORGOT_LINK, 6},
    {IDC_SIGNUP_LINK, 6}, {IDC_SIGNUP_PROMPT, 7}, {IDC_SIGNUP_TAIL, 7},    {IDC_ERROR_LABEL, 8},
};

struct ControlColour {
    int controlId;
    COLORREF colour;
};

// Static texts not listed keep the default colour.
const ControlColour kTextColours[] = {
    {IDC_REMEMBER, RGB(51, 51, 51)},    {IDC_SIGN_IN_AUTOMATICALLY, RGB(51, 51, 51)},
    {IDC_EMAIL_LABEL, RGB(51, 51, 51)}, {IDC_PASSWORD_LABEL, RGB(51, 51, 51)},
    {IDC_HEADING, RGB(0, 102, 204)},    {IDC_TITLE, RGB(0, 102, 204)},
    {IDC_SUBTITLE, RGB(119, 119, 119)}, {IDC_FORGOT_LINK, RGB(0, 0, 160)},
    {IDC_SIGNUP_LINK, RGB(0, 0, 160)},  {IDC_ERROR_LABEL, RGB(238, 0, 0)},
};

// The form below the heading, in the order it is moved down.
const int kShiftedControls[] = {
    IDC_EMAIL, IDC_PASSWORD,    IDC_EMAIL_LABEL,   IDC_PASSWORD_LABEL, IDC_REMEMBER,    IDC_SIGN_IN_AUTOMATICALLY,
    IDOK,      IDC_FORGOT_LINK, IDC_SIGNUP_PROMPT, IDC_SIGNUP_TAIL,    IDC_SIGNUP_LINK,
};

const COLORREF kRuleColour = RGB(0, 102, 204);
const COLORREF kPanelBorderColour = RGB(238, 238, 238);
const COLORREF kPanelColour = RGB(254, 254, 254);
const COLORREF kSeparatorColour = RGB(187, 187, 187);

HFONT CreateArial(const FontSpec& style, UINT dpi) {
    LOGFONTA font = {};
    font.lfHeight = ScaleToDpi(style.height, dpi);
    font.lfWeight = style.weight;
    font.lfUnderline = style.underline ? TRUE : FALSE;
    // Any character set, so that texts in other scripts get a font that has them.
    font.lfCharSet = DEFAULT_CHARSET;
    (void)lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

HINSTANCE InstanceOf(HWND window) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

RECT ScreenRect(HWND dialog, int controlId) {
    RECT rect = {};
    (void)GetWindowRect(GetDlgItem(dialog, controlId), &rect);
    return rect;
}

template <typename Handle>
void DeleteHandle(Handle& handle) {
    if (handle) (void)DeleteObject(handle);
    handle = nullptr;
}

// A solid pen of a width given at 96 DPI, where width 0 is one pixel. Scaled up it is wider than
// a pixel; flat ends then keep a line within its end points, as the thin pen does.
HPEN CreateScaledPen(int width, COLORREF colour, UINT dpi) {
    if (dpi <= DefaultDpi) return CreatePen(PS_SOLID, width, colour);
    LOGBRUSH brush = {BS_SOLID, colour, 0};
    return ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                        ScaleToDpi(width == 0 ? 1 : width, dpi), &brush, 0, nullptr);
}

void DrawLine(HDC dc, int width, COLORREF colour, int left, int right, int y, UINT dpi) {
    HPEN pen = CreateScaledPen(width, colour, dpi);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    (void)MoveToEx(dc, left, y, nullptr);
    (void)LineTo(dc, right, y);
    (void)SelectObject(dc, oldPen);
    (void)DeleteObject(pen);
}

// In a mirrored picture of the given width the banner goes to the right, and is copied there
// with the picture's layout turned off for the copy: a blit into a mirrored context flips it.
void DrawBanner(HWND dialog, HDC dc, const RECT& box, int width, UINT dpi) {
    const BannerPlacement placed = PlaceBanner(box, dpi);
    HBITMAP banner = static_cast<HBITMAP>(LoadImageA(InstanceOf(dialog), MAKEINTRESOURCEA(placed.resourceId),
                                                     IMAGE_BITMAP, placed.imageWidth, placed.imageHeight,
                                                     LR_DEFAULTCOLOR));
    if (!banner) return;
    HDC bannerDc = CreateCompatibleDC(dc);
    if (bannerDc) {
        HGDIOBJ oldBitmap = SelectObject(bannerDc, banner);
        // Scaling down averages the pixels it drops; the 96-DPI banner keeps the default mode.
        if (placed.resourceId != IDB_BANNER) {
            (void)SetStretchBltMode(dc, HALFTONE);
            (void)SetBrushOrgEx(dc, 0, 0, nullptr);
        }
        const DWORD layout = GetLayout(dc);
        RECT target = placed.target;
        if (layout != GDI_ERROR && (layout & LAYOUT_RTL) != 0) {
            (void)SetLayout(dc, 0);
            (void)OffsetRect(&target, width - target.left - target.right, 0);
        }
        (void)StretchBlt(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, bannerDc,
                         0, 0, placed.imageWidth, placed.imageHeight, SRCCOPY);
        if (layout != GDI_ERROR) (void)SetLayout(dc, layout);
        (void)SelectObject(bannerDc, oldBitmap);
        (void)DeleteDC(bannerDc);
    }
    (void)DeleteObject(banner);
}

// Its pixels are mapped for it alone and go back to the system when it is deleted; a bitmap
// compatible with the screen comes from the heap, which keeps its freed blocks.
HBITMAP CreateBackgroundBitmap(HDC dc, int width, int height) {
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    return CreateDIBSection(dc, &format, DIB_RGB_COLORS, &pixels, nullptr, 0);
}

void DrawPanel(HDC dc, const RECT& panel, UINT dpi) {
    HPEN pen = CreateScaledPen(0, kPanelBorderColour, dpi);
    HBRUSH brush = CreateSolidBrush(kPanelColour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    (void)Rectangle(dc, panel.left, panel.top, panel.right, panel.bottom);
    (void)SelectObject(dc, oldBrush);
    (void)SelectObject(dc, oldPen);
    (void)DeleteObject(brush);
    (void)DeleteObject(pen);
}

// A memory context holding the background, laid out as the dialog is: a mirrored dialog's
// picture is drawn mirrored and copied to the screen as it stands, where a left-to-right one
// would be flipped. The layout follows the bitmap, since a context mirrors about its width.
HDC SelectBackground(HWND dialog, HDC dc, HGDIOBJ* oldBitmap) {
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return nullptr;
    *oldBitmap = SelectObject(memory, g_signInDrawing.background);
    (void)SetLayout(memory, IsMirrored(dialog) ? LAYOUT_RTL : 0);
    return memory;
}

}  // namespace

void CreateSignInDrawing(HWND dialog) {
    SignInDrawing& d = g_signInDrawing;
    if (d.dpi == 0) d.dpi = DpiOfWindow(dialog);
    if (!d.whiteBrush) d.whiteBrush = CreateSolidBrush(RGB(255, 255, 255));
    for (int i = 0; i < SignInFontCount; ++i) {
        if (!d.fonts[i]) d.fonts[i] = CreateArial(kFonts[i], d.dpi);
    }
    for (const ControlFont& entry : kControlFonts) {
        (void)SendDlgItemMessageA(dialog, entry.controlId, WM_SETFONT, reinterpret_cast<WPARAM>(d.fonts[entry.font]),
                                  FALSE);
    }
    // At 96 DPI the template's boxes fit their texts as they are.
    if (d.dpi != DefaultDpi) FitTextBoxes(dialog);
}

void ChangeSignInDpi(HWND dialog, UINT dpi, const RECT& suggested) {
    SignInDrawing& d = g_signInDrawing;
    HFONT old[SignInFontCount];
    for (int i = 0; i < SignInFontCount; ++i) {
        old[i] = d.fonts[i];
        d.fonts[i] = nullptr;
    }
    ScaleControls(dialog, d.dpi, dpi);
    d.dpi = dpi;
    CreateSignInDrawing(dialog);
    // Only now that no control uses them any more.
    for (HFONT& font : old) DeleteHandle(font);
    DeleteHandle(d.background);
    (void)SetWindowPos(dialog, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                       suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    (void)RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void ReleaseSignInDrawing() {
    SignInDrawing& d = g_signInDrawing;
    DeleteHandle(d.whiteBrush);
    DeleteHandle(d.background);
    for (HFONT& font : d.fonts) DeleteHandle(font);
    d.dpi = 0;
}

HBRUSH ColourSignInStatic(HDC dc, HWND control) {
    const int controlId = GetDlgCtrlID(control);
    for (const ControlColour& entry : kTextColours) {
        if (entry.controlId == controlId) {
            (void)SetTextColor(dc, entry.colour);
            break;
        }
    }
    return g_signInDrawing.whiteBrush;
}

void EraseSignInBackground(HWND dialog, HDC dc) {
    RECT client;
    if (!GetClientRect(dialog, &client)) return;
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (!g_signInDrawing.background) RenderSignInBackground(dialog, dc, width, height);
    HGDIOBJ oldBitmap = nullptr;
    HDC memory = SelectBackground(dialog, dc, &oldBitmap);
    if (!memory) return;
    (void)BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    (void)SelectObject(memory, oldBitmap);
    (void)DeleteDC(memory);
}

void RenderSignInBackground(HWND dialog, HDC dc, int width, int height) {
    if (!g_signInDrawing.background) g_signInDrawing.background = CreateBackgroundBitmap(dc, width, height);
    HGDIOBJ oldBitmap = nullptr;
    HDC memory = SelectBackground(dialog, dc, &oldBitmap);
    if (!memory) return;

    RECT all = {0, 0, width, height};
    (void)FillRect(memory, &all, g_signInDrawing.whiteBrush);

    POINT clientOrigin = {0, 0};
    (void)ClientToScreen(dialog, &clientOrigin);
    SignInAnchors anchors;
    anchors.titleBottom = ScreenRect(dialog, IDC_TITLE).bottom;
    anchors.headingTop = ScreenRect(dialog, IDC_HEADING).top;
    anchors.forgotBottom = ScreenRect(dialog, IDC_FORGOT_LINK).bottom;
    anchors.promptTop = ScreenRect(dialog, IDC_SIGNUP_PROMPT).top;
    anchors.clientTop = clientOrigin.y;
    const SignInBackgroundGeometry g = ComputeSignInBackground(width, height, anchors);

    const UINT dpi = g_signInDrawing.dpi;
    DrawBanner(dialog, memory, g.banner, width, dpi);
    DrawLine(memory, 0, kRuleColour, g.ruleLeft, g.ruleRight, g.ruleY, dpi);
    DrawPanel(memory, g.panel, dpi);
    DrawLine(memory, 2, kSeparatorColour, g.separatorLeft, g.separatorRight, g.separatorY, dpi);

    (void)SelectObject(memory, oldBitmap);
    (void)DeleteDC(memory);
}

void ShiftControlDown(HWND dialog, int controlId, int distance) {
    HWND control = GetDlgItem(dialog, controlId);
    RECT rect;
    if (!GetWindowRect(control, &rect)) return;
    // As a rectangle, so that in a mirrored dialog its left edge is still its left edge.
    (void)MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    (void)SetWindowPos(control, nullptr, rect.left, rect.top + distance, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOOWNERZORDER);
}

void ShowSignInError(HWND dialog) {
    const UINT textId = g_signInErrorKind == SignInErrorKind::EmailRequired ? IDS_EMAIL_REQUIRED : IDS_BAD_CREDENTIALS;
    wchar_t text[128];
    LoadResourceText(textId, text, sizeof text / sizeof text[0]);
    HWND label = GetDlgItem(dialog, IDC_ERROR_LABEL);
    (void)SetWindowTextW(label, text);

    // The line's own style bit, not IsWindowVisible: an error raised before the dialog itself
    // is on screen must still move the form only once.
    if ((GetWindowLongA(label, GWL_STYLE) & WS_VISIBLE) == 0) {
        const int distance = ScreenRect(dialog, IDC_ERROR_LABEL).bottom - ScreenRect(dialog, IDC_HEADING).bottom;
        for (int controlId : kShiftedControls) ShiftControlDown(dialog, controlId, distance);
        RECT window;
        if (GetWindowRect(dialog, &window)) {
            (void)SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + distance,
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOOWNERZORDER);
        }
        // The client area changed size: the next erase renders the background anew.
        DeleteHandle(g_signInDrawing.background);
        (void)RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    }
    (void)ShowWindow(label, SW_SHOW);
}
