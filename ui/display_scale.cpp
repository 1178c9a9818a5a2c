#include "ui/display_scale.h"

namespace {

typedef UINT(WINAPI* DpiForWindowCall)(HWND);
typedef int(WINAPI* MetricForDpiCall)(int, UINT);
typedef BOOL(WINAPI* DialogDpiBehaviourCall)(HWND, int, int);

enum : int { DialogScalesNothing = 1 };  // DDC_DISABLE_ALL

// Calls of Windows 10 only, looked up so that the program still starts on older systems.
// Null where the system lacks them.
template <typename Call>
Call User32Call(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    FARPROC found = user32 ? GetProcAddress(user32, name) : nullptr;
    // Through the one function type that converts to any other without a warning.
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(found));
}

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    if (!screen) return DefaultDpi;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    (void)ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : DefaultDpi;
}

}  // namespace

UINT DpiOfWindow(HWND window) {
    const DpiForWindowCall dpiForWindow = User32Call<DpiForWindowCall>("GetDpiForWindow");
    if (window && dpiForWindow) {
        const UINT dpi = dpiForWindow(window);
        if (dpi != 0) return dpi;
    }
    return SystemDpi();
}

int ScaleToDpi(int length, UINT dpi) {
    return static_cast<int>(static_cast<long long>(length) * dpi / DefaultDpi);
}

int SmallIconSize(UINT dpi) {
    const MetricForDpiCall metricForDpi = User32Call<MetricForDpiCall>("GetSystemMetricsForDpi");
    // Without the call the process is at most system aware, and dpi is the system's.
    const int size = metricForDpi ? metricForDpi(SM_CXSMICON, dpi) : GetSystemMetrics(SM_CXSMICON);
    return size > 0 ? size : ScaleToDpi(16, dpi);
}

void TakeOverDpiChanges(HWND dialog) {
    const DialogDpiBehaviourCall setBehaviour = User32Call<DialogDpiBehaviourCall>("SetDialogDpiChangeBehavior");
    // Without it there is no dialog manager scaling to turn off.
    if (setBehaviour) (void)setBehaviour(dialog, DialogScalesNothing, DialogScalesNothing);
}

void ScaleControls(HWND dialog, UINT oldDpi, UINT newDpi) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT box;
        if (!GetWindowRect(child, &box)) continue;
        (void)MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
        const int to = static_cast<int>(newDpi), from = static_cast<int>(oldDpi);
        const int left = MulDiv(box.left, to, from), top = MulDiv(box.top, to, from);
        (void)SetWindowPos(child, nullptr, left, top, MulDiv(box.right, to, from) - left,
                           MulDiv(box.bottom, to, from) - top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
}

void FitTextBoxes(HWND dialog) {
    HDC dc = GetDC(dialog);
    if (!dc) return;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[8];
        wchar_t text[256];
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (!GetClassNameA(child, className, sizeof className) || lstrcmpiA(className, "Static") != 0 ||
            (style & SS_TYPEMASK) > SS_RIGHT)
            continue;
        if (GetWindowTextW(child, text, sizeof text / sizeof text[0]) == 0) text[0] = L'\0';
        HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
        RECT needed = {0, 0, 0, 0};
        (void)DrawTextW(dc, text, -1, &needed, DT_CALCRECT | DT_NOPREFIX);
        (void)SelectObject(dc, oldFont);
        RECT box;
        if (!GetWindowRect(child, &box)) continue;
        (void)MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
        const int wider = needed.right - (box.right - box.left);
        const int taller = needed.bottom - (box.bottom - box.top);
        if (wider > 0 && (style & SS_TYPEMASK) == SS_RIGHT) box.left -= wider;
        if (wider > 0 && (style & SS_TYPEMASK) != SS_RIGHT) box.right += wider;
        if (taller > 0) {
            box.top -= taller / 2;
            box.bottom += taller - taller / 2;
        }
        if (wider > 0 || taller > 0)
            (void)SetWindowPos(child, nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top,
                               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
    (void)ReleaseDC(dialog, dc);
}
