#include "app/request_thread.h"

#include "net/detached_thread.h"
#include "net/server_operations.h"
#include "net/session.h"
#include "storage/support_log.h"

const char* RequestKindName(WPARAM kind) {
    switch (kind) {
    case CheckServer:
        return "check";
    case SignIn:
        return "sign-in";
    case Refresh:
        return "refresh";
    default:
        return "unknown";
    }
}

bool StartRequest(RequestKind kind, WORD generation) {
    RequestRecord* record = static_cast<RequestRecord*>(HeapAlloc(GetProcessHeap(), 0, sizeof(RequestRecord)));
    if (!record) return false;
    record->kind = kind;
    record->generation = generation;
    if (!StartDetachedThread(RequestThreadMain, record)) {
        (void)HeapFree(GetProcessHeap(), 0, record);
        return false;
    }
    return true;
}

unsigned __stdcall RequestThreadMain(void* argument) {
    RequestRecord* record = static_cast<RequestRecord*>(argument);
    SetLogThreadRole(RequestKindName(record->kind));
    // The server operations read answers through the COM XML document object.
    HRESULT com = CoInitialize(NULL);
    bool known = true;
    ResultCode code = 0;
    switch (record->kind) {
    case CheckServer:
        code = checkServer(g_session);
        break;
    case SignIn:
        code = signIn(g_session);
        break;
    case Refresh:
        code = refreshSession(g_session);
        break;
    default:
        known = false;
        break;
    }
    // A lost post only happens when the main thread's queue is gone at shut-down.
    if (known) {
        (void)PostThreadMessageA(MainThreadId(g_session), WM_APP_WORKER_RESULT,
                                 MAKEWPARAM(record->kind, record->generation),
                                 static_cast<LPARAM>(code));
    }
    if (SUCCEEDED(com)) CoUninitialize();
    (void)HeapFree(GetProcessHeap(), 0, record);
    return 0;
}
