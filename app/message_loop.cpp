#include "app/message_loop.h"

#include "app/app_state.h"
#include "app/kept_results.h"
#include "app/request_thread.h"
#include "app/sign_in_flow.h"

void HandleQueuedMessage(MSG* message) {
    if (message->message == WM_APP_WORKER_RESULT) {
        HandleWorkerResult(message->wParam, message->lParam);
        return;
    }
    if (TranslateAcceleratorA(message->hwnd, g_app.accelerators, message)) return;
    (void)TranslateMessage(message);
    (void)DispatchMessageA(message);
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
        BOOL got = GetMessageA(&message, NULL, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return 0;
        HandleQueuedMessage(&message);
    }
}
