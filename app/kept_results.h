// Worker results that arrive while a modal loop runs on the main thread (a dialog, a message
// box, the tray menu). Such a loop would drop these thread messages; a message-filter hook
// keeps them here until the main loop handles them, oldest first.
#pragma once

#include <windows.h>

enum : size_t { KeptResultCapacity = 256 };

// Hooks the modal loops of the calling thread; false when the hook cannot be set.
bool InstallResultKeeper();
// Unhooks them.
void RemoveResultKeeper();
// Keeps one result at the end of the queue; false when the queue is full.
bool KeepWorkerResult(WPARAM kind, LPARAM code);
// Takes the oldest kept result; false when none is kept.
bool TakeKeptResult(WPARAM* kind, LPARAM* code);
