#include "app/message_loop.h"

#include "app/address_watch.h"
#include "app/app_state.h"
#include "app/kept_results.h"
#include "app/request_thread.h"
#include "app/sign_in_flow.h"

void HandleQueuedMessage(MSG* message) {
    if (message->message == WM_APP_WORKER_RESULT) {
        HandleWorkerResult(message->wParam, message->lParam);
        return;
    }
    // Wide throughout, so that characters typed into the Unicode dialogs arrive whole.
    if (TranslateAcceleratorW(message->hwnd, g_app.accelerators, message)) return;
    (void)TranslateMessage(message);
    (void)DispatchMessageW(message);
}

void HandleKeptResults() {
    WPARAM kind;
    LPARAM code;
    while (TakeKeptResult(&kind, &code)) HandleWorkerResult(kind, code);
}

int RunMessageLoop() {
    MSG message = {};
    for (;;) {
        // Every modal loop has ended by the time control is back here.
        HandleKeptResults();
        // While a retry waits, a network that comes back is worth a try at once.
        HANDLE change = AddressChangeEvent();
        // Also wakes for messages already queued, such as a timer that fell due while a box was open.
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(change ? 1 : 0, &change, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_FAILED) return 0;
        if (woke == WAIT_OBJECT_0 && change) {
            TakeAddressChange();
            OnNetworkChange();
            continue;
        }
        // All of it is taken before the next wait.
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            HandleQueuedMessage(&message);
        }
    }
}
