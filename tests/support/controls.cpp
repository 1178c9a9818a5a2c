#include "support/controls.h"

#include "storage/text_encoding.h"

std::string ControlText(HWND dialog, int controlId) {
    // Empty also for a control that does not exist.
    wchar_t text[4096] = {};
    (void)SendMessageW(GetDlgItem(dialog, controlId), WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    char utf8[3 * 4096];
    (void)WideToUtf8Buffer(text, utf8, sizeof utf8);
    return utf8;
}

bool ControlVisible(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    return control && IsWindowVisible(control);
}

void SetControlText(HWND dialog, int controlId, const char* text) {
    std::wstring wide(lstrlenA(text) + 1, L'\0');
    (void)TextToWideBuffer(text, CP_UTF8, &wide[0], static_cast<int>(wide.size()));
    (void)SendMessageW(GetDlgItem(dialog, controlId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void PressEnter(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    (void)PostMessageA(control, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    (void)PostMessageA(control, WM_KEYUP, VK_RETURN, 0xC01C0001);
}
