#include "ui/credential_check.h"

#include "net/detached_thread.h"
#include "storage/support_log.h"

namespace {

// Handed to the thread, which owns and releases it.
struct CheckRecord {
    CredentialCheck check;
    HWND dialog;
    WPARAM number;
};

unsigned __stdcall CheckThreadMain(void* argument) {
    CheckRecord* record = static_cast<CheckRecord*>(argument);
    SetLogThreadRole("credential check");
    const ResultCode result = record->check(g_session);
    // Fails only when the dialog was closed meanwhile: the user no longer waits for it.
    (void)PostMessageA(record->dialog, WM_APP_CHECK_RESULT, record->number, static_cast<LPARAM>(result));
    (void)HeapFree(GetProcessHeap(), 0, record);
    return 0;
}

}  // namespace

bool StartCredentialCheck(CredentialCheck check, HWND dialog, WPARAM number) {
    CheckRecord* record = static_cast<CheckRecord*>(HeapAlloc(GetProcessHeap(), 0, sizeof(CheckRecord)));
    if (!record) return false;
    record->check = check;
    record->dialog = dialog;
    record->number = number;
    if (!StartDetachedThread(CheckThreadMain, record)) {
        (void)HeapFree(GetProcessHeap(), 0, record);
        return false;
    }
    // A check the user cancelled runs to its end unseen.
    return true;
}
