#include "ui/about_box.h"

#include "res/resource.h"
#include "ui/center_on_desktop.h"
#include "ui/display_scale.h"

namespace {

// The biggest image of the product icon's drawing: the window icon holds it at 48 pixels.
enum : int { LargestIconImage = 48 };

// Above 96 DPI the texts need room in their scaled font, and the icon would be stretched from
// the 32 pixels its template resource holds: it is shown at the scaled size from the window
// icon, which has the same drawing, but never stretched beyond the image it has.
void ScaleAboutBox(HWND dialog, UINT dpi) {
    FitTextBoxes(dialog);
    int size = ScaleToDpi(32, dpi);
    if (size > LargestIconImage) size = LargestIconImage;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    // Shared: released with the module, never destroyed here.
    HANDLE icon = LoadImageA(instance, MAKEINTRESOURCEA(IDI_SMALL), IMAGE_ICON, size, size, LR_SHARED);
    if (icon) (void)SendDlgItemMessageA(dialog, IDCANCEL, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            const UINT dpi = DpiOfWindow(dialog);
            if (dpi > DefaultDpi) ScaleAboutBox(dialog, dpi);
            // The template's own position is only where the box is created.
            CenterOnDesktop(dialog);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                (void)EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
