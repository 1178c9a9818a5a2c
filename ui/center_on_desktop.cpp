#include "ui/center_on_desktop.h"

POINT CenteredPosition(const RECT& desktop, const RECT& window) {
    // The sums go through double so that no rectangle, however large, overflows them.
    const int dx = static_cast<int>(0.5 * (double(desktop.left) + desktop.right - window.left - window.right));
    const int dy = static_cast<int>(0.5 * (double(desktop.top) + desktop.bottom - window.top - window.bottom));
    POINT topLeft = {window.left + dx, window.top + dy};
    return topLeft;
}

void CenterOnDesktop(HWND dialog) {
    RECT desktop;
    RECT window;
    if (!GetWindowRect(GetDesktopWindow(), &desktop) || !GetWindowRect(dialog, &window)) return;
    const POINT topLeft = CenteredPosition(desktop, window);
    // Without SWP_NOZORDER this also brings the dialog to the top.
    (void)SetWindowPos(dialog, HWND_TOP, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE);
}
