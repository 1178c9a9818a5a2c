#include "ui/reading_order.h"

bool ReadsRightToLeft(LANGID language) {
    const WORD primary = PRIMARYLANGID(language);
    return primary == LANG_ARABIC || primary == LANG_HEBREW;
}

bool MirrorForUserLanguage() {
    // The display language, which picks the resources, not the locale of formats and sorting.
    return ReadsRightToLeft(GetUserDefaultUILanguage()) && SetProcessDefaultLayout(LAYOUT_RTL) != FALSE;
}

UINT BoxReadingFlags() {
    DWORD layout = 0;
    return GetProcessDefaultLayout(&layout) && (layout & LAYOUT_RTL) != 0 ? MB_RTLREADING | MB_RIGHT : 0;
}

bool IsMirrored(HWND window) {
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
}

void KeepLeftToRight(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    const LONG style = GetWindowLongW(control, GWL_EXSTYLE);
    const LONG leftToRight = style & ~(WS_EX_LAYOUTRTL | WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR);
    // A child takes its mirrored parent's layout when it is created; it keeps the one set here.
    if (leftToRight != style) (void)SetWindowLongW(control, GWL_EXSTYLE, leftToRight);
}
