// The display scale: the DPI windows are drawn at and lengths scaled to it. Works on every
// Windows: the per-monitor calls of Windows 10 are looked up at run time.
#pragma once

#include <windows.h>

#ifndef WM_DPICHANGED
// Sent to a per-monitor aware window when its DPI changes (Windows 8.1 and later).
#define WM_DPICHANGED 0x02E0
#endif

// Dots per inch at 100% display scale, the DPI every length in the program is given at.
enum : UINT { DefaultDpi = 96 };

// The DPI the window is drawn at: its monitor's where Windows knows that, else the system's.
// Without a window, the system's.
UINT DpiOfWindow(HWND window);
// A length given at 96 DPI, scaled to dpi and truncated toward zero, so that nothing drawn
// grows faster than the display scale.
int ScaleToDpi(int length, UINT dpi);
// The width of a small icon (the tray's and the caption's) at dpi.
int SmallIconSize(UINT dpi);
// Keeps the dialog manager of Windows 10 1703 and later from scaling the dialog itself when
// its DPI changes; the dialog makes its fonts and layout anew. Does nothing elsewhere.
void TakeOverDpiChanges(HWND dialog);
// Moves and sizes every control of the dialog from oldDpi to newDpi.
void ScaleControls(HWND dialog, UINT oldDpi, UINT newDpi);
// Grows every static text box of the dialog that its text overflows in its font: dialog units
// follow the dialog font's metrics, which do not grow in step with the display scale. Right-
// aligned boxes grow to the left, all others to the right; heights grow about the middle.
void FitTextBoxes(HWND dialog);
