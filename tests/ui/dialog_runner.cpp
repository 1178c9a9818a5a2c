#include "ui/dialog_runner.h"

namespace {

const UINT_PTR kStepTimer = 0x7E57;

DLGPROC g_procedure = nullptr;
const std::vector<DialogStep>* g_steps = nullptr;
size_t g_nextStep = 0;

INT_PTR CALLBACK ScriptedProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kStepTimer) {
        // Steps start once the modal loop has shown the dialog and gone idle, and wait while a
        // greyed "Sign In" says that a credential check is under way.
        HWND ok = GetDlgItem(dialog, IDOK);
        if (!IsWindowVisible(dialog) || (ok && !IsWindowEnabled(ok))) return TRUE;
        if (g_nextStep < g_steps->size()) {
            (void)UpdateWindow(dialog);
            (*g_steps)[g_nextStep++](dialog);
        } else {
            (void)KillTimer(dialog, kStepTimer);
            (void)PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return TRUE;
    }
    const INT_PTR result = g_procedure(dialog, message, wParam, lParam);
    if (message == WM_INITDIALOG) (void)SetTimer(dialog, kStepTimer, 20, nullptr);
    return result;
}

}  // namespace

INT_PTR RunDialog(int templateId, DLGPROC procedure, const std::vector<DialogStep>& steps, LANGID language,
                  LPARAM parameter, bool unmirrored) {
    g_procedure = procedure;
    g_steps = &steps;
    g_nextStep = 0;
    HMODULE module = GetModuleHandleW(nullptr);
    // Hidden and top-level like the program's main window, so laid out as the process's default is.
    HWND owner = CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, module, nullptr);
    // Language 0 is the neutral language, for which the user's is found as DialogBoxParamW would.
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(templateId), language);  // RT_DIALOG
    const BYTE* dialog = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
    std::vector<BYTE> copy(dialog, dialog + (dialog ? SizeofResource(module, found) : 0));
    // A DLGTEMPLATEEX keeps its extended style in its third double word.
    if (unmirrored && copy.size() > 16) reinterpret_cast<DWORD*>(copy.data())[2] &= ~WS_EX_LAYOUTRTL;
    const INT_PTR result = dialog ? DialogBoxIndirectParamW(module, reinterpret_cast<DLGTEMPLATE*>(copy.data()), owner,
                                                            ScriptedProc, parameter)
                                  : -1;
    (void)DestroyWindow(owner);
    return result;
}
