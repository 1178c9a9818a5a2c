#include "app/address_watch.h"

#include "storage/support_log.h"

namespace {

typedef DWORD (WINAPI* NotifyAddrChangeCall)(PHANDLE handle, LPOVERLAPPED overlapped);

// Main thread only. The request stays pending until a change completes it: Windows XP has no
// call that cancels it, so the event lives as long as the process.
NotifyAddrChangeCall s_notifyAddrChange;
OVERLAPPED s_overlapped;
HANDLE s_event;
bool s_watching;

}  // namespace

bool WatchAddressChanges() {
    if (s_watching) return true;
    if (!s_notifyAddrChange) {
        HMODULE library = LoadLibraryA("iphlpapi.dll");
        if (!library) return false;
        s_notifyAddrChange = reinterpret_cast<NotifyAddrChangeCall>(
            reinterpret_cast<void*>(GetProcAddress(library, "NotifyAddrChange")));
        if (!s_notifyAddrChange) return false;
    }
    if (!s_event) s_event = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!s_event) return false;
    ZeroMemory(&s_overlapped, sizeof s_overlapped);
    s_overlapped.hEvent = s_event;
    HANDLE unused = NULL;
    s_watching = s_notifyAddrChange(&unused, &s_overlapped) == ERROR_IO_PENDING;
    return s_watching;
}

HANDLE AddressChangeEvent() { return s_watching ? s_event : NULL; }

void TakeAddressChange() {
    LogEvent("network change notice");
    (void)ResetEvent(s_event);
    s_watching = false;
}
