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
                  LPARAM parameter) {
    g_procedure = procedure;
    g_steps = &steps;
    g_nextStep = 0;
    HMODULE module = GetModuleHandleW(nullptr);
    if (language == 0) return DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), nullptr, ScriptedProc, parameter);
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(templateId), language);  // RT_DIALOG
    const void* dialog = found ? LockResource(LoadResource(module, found)) : nullptr;
    if (!dialog) return -1;
    return DialogBoxIndirectParamW(module, static_cast<const DLGTEMPLATE*>(dialog), nullptr, ScriptedProc, parameter);
}
