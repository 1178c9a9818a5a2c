// Centring of a dialog on the whole primary screen, shared by the sign-in dialog and the About box.
#pragma once

#include <windows.h>

// Top-left corner that centres a window with rectangle `window` on `desktop`: each half
// difference is taken in double precision and truncated toward zero.
POINT CenteredPosition(const RECT& desktop, const RECT& window);

// Moves the dialog to the centre of the desktop window's rectangle (not the work area) and
// raises it to the top of the Z order.
void CenterOnDesktop(HWND dialog);
