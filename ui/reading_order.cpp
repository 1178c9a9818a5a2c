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
