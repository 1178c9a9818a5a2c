// The sign-in dialog's own look: white ground, Arial texts, the painted background with the
// banner, and the red error line that pushes the form down the first time it shows.
#pragma once

#include <windows.h>

enum : int { SignInFontCount = 9 };

// The dialog's drawing objects; null when absent. Created at WM_INITDIALOG, released at
// WM_DESTROY, so each opening has its own.
struct SignInDrawing {
    HBRUSH whiteBrush;
    HFONT fonts[SignInFontCount];
    // The rendered background at the client size, a DIB section whose pixels are freed with it;
    // absent until the first erase.
    HBITMAP background;
    // The DPI the fonts and the background are made for; 0 while the dialog is closed.
    UINT dpi;
};
extern SignInDrawing g_signInDrawing;

// Creates the brush and the fonts that are absent, for the dialog's DPI, and gives each control
// its font, unredrawn.
void CreateSignInDrawing(HWND dialog);
// WM_DPICHANGED: scales the controls' places and makes the fonts anew for dpi, drops the
// background so that the next erase renders it at that DPI, and moves the dialog to the
// suggested rectangle.
void ChangeSignInDpi(HWND dialog, UINT dpi, const RECT& suggested);
// Deletes every drawing object and clears its handle.
void ReleaseSignInDrawing();

// Text colour for the static control asking through WM_CTLCOLORSTATIC; returns the white brush.
HBRUSH ColourSignInStatic(HDC dc, HWND control);

// Copies the cached background to the erase context, rendering it first when absent.
void EraseSignInBackground(HWND dialog, HDC dc);
// Draws banner, rule, panel and separator into the cached bitmap, creating it at width x height.
void RenderSignInBackground(HWND dialog, HDC dc, int width, int height);

// Moves a control down by distance pixels without resizing or redrawing it.
void ShiftControlDown(HWND dialog, int controlId, int distance);
// Shows the error line with the text of g_signInErrorKind; the first time in an opening it also
// moves the form down by the line's height and makes the dialog that much taller.
void ShowSignInError(HWND dialog);
