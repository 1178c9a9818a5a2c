// Background request threads: one short-lived worker per server exchange, never joined.
#pragma once

#include <windows.h>
#include <stdint.h>

enum RequestKind : uint32_t {
    CheckServer = 1,
    SignIn = 2,
    Refresh = 3,
};

// Thread message from a worker to the main thread: wParam the RequestKind in its low word and
// the controller's generation (see AppState) at the worker's start in its high word, lParam the ResultCode.
enum : UINT { WM_APP_WORKER_RESULT = WM_USER + 101 };

// Handed to the new thread, which owns and releases it.
struct RequestRecord {
    RequestKind kind;
    WORD generation;
};

// The kind's name in the support log, which is also its worker's role there: "check" and so on.
const char* RequestKindName(WPARAM kind);
// Starts one worker for kind, whose result names generation; true when the thread was created.
bool StartRequest(RequestKind kind, WORD generation);
// A worker: runs the kind's server operation and posts its result to the main thread.
unsigned __stdcall RequestThreadMain(void* record);
