// Windows' notice that the computer's IP addresses changed, as they do when a network comes
// back. The message loop waits for it beside its messages, so it costs no thread and no
// polling; it is asked for only once a retry waits, and iphlpapi.dll is loaded only then.
#pragma once

#include <windows.h>

// Asks for the next notice unless one is asked for already; false where the system gives none.
bool WatchAddressChanges();
// The event that the next notice sets; NULL while none is asked for.
HANDLE AddressChangeEvent();
// Takes the notice that set the event; a later one must be asked for again.
void TakeAddressChange();
