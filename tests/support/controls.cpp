#include "support/controls.h"

std::string ControlText(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    if (!control) return std::string();
    char text[4096] = {};
    (void)SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool ControlVisible(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    return control && IsWindowVisible(control);
}

void SetControlText(HWND dialog, int controlId, const char* text) {
    (void)SendMessageA(GetDlgItem(dialog, controlId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void PressEnter(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    (void)PostMessageA(control, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    (void)PostMessageA(control, WM_KEYUP, VK_RETURN, 0xC01C0001);
}
