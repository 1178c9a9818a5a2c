#include "app/kept_results.h"

#include "app/request_thread.h"

namespace {

struct KeptResult {
    WPARAM kind;
    LPARAM code;
};

// Main thread only: the hook runs on the thread that set it.
KeptResult s_kept[KeptResultCapacity];
size_t s_first = 0;
size_t s_count = 0;
HHOOK s_hook = NULL;

LRESULT CALLBACK KeepResultsDuringModalLoops(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code >= 0 && message->hwnd == NULL && message->message == WM_APP_WORKER_RESULT &&
        KeepWorkerResult(message->wParam, message->lParam)) {
        // Handled: the modal loop must not dispatch (and so lose) it.
        return TRUE;
    }
    return CallNextHookEx(s_hook, code, wParam, lParam);
}

}  // namespace

bool InstallResultKeeper() {
    if (s_hook) return true;
    // Wide, as the loops of the Unicode dialogs and boxes whose messages it sees.
    s_hook = SetWindowsHookExW(WH_MSGFILTER, KeepResultsDuringModalLoops, NULL, GetCurrentThreadId());
    return s_hook != NULL;
}

void RemoveResultKeeper() {
    if (!s_hook) return;
    (void)UnhookWindowsHookEx(s_hook);
    s_hook = NULL;
}

bool KeepWorkerResult(WPARAM kind, LPARAM code) {
    if (s_count == KeptResultCapacity) return false;
    KeptResult& slot = s_kept[(s_first + s_count) % KeptResultCapacity];
    slot.kind = kind;
    slot.code = code;
    ++s_count;
    return true;
}

bool TakeKeptResult(WPARAM* kind, LPARAM* code) {
    if (s_count == 0) return false;
    *kind = s_kept[s_first].kind;
    *code = s_kept[s_first].code;
    s_first = (s_first + 1) % KeptResultCapacity;
    --s_count;
    return true;
}
