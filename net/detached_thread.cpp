#include "net/detached_thread.h"

#include <windows.h>
#include <process.h>

bool StartDetachedThread(unsigned (__stdcall* entry)(void*), void* argument) {
    uintptr_t thread = _beginthreadex(NULL, 0, entry, argument, 0, NULL);
    if (thread == 0) return false;
    (void)CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}
