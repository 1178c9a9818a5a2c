// The main message loop: worker results drive the state machine, everything else is dispatched.
#pragma once

#include <windows.h>

// Handles one message taken from the queue.
void HandleQueuedMessage(MSG* message);
// Handles the results kept during modal loops, oldest first.
void HandleKeptResults();
// Runs until the quit message and returns its exit code.
int RunMessageLoop();
