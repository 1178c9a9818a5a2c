// A thread for one server exchange that nothing waits for: the controller's workers and the
// sign-in dialog's credential check.
#pragma once

// Runs entry(argument) on a new thread and lets it run to its end unwatched; false when no
// thread could be created, and then the caller still owns argument.
bool StartDetachedThread(unsigned (__stdcall* entry)(void*), void* argument);
