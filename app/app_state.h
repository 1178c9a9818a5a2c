// The controller's process-wide record: the sign-in state and what the main window owns.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#include "app/request_thread.h"

enum TrayState : uint32_t {
    NotSignedIn = 0,
    SigningIn = 1,
    SignedIn = 2,
    Error = 3,
};

enum : size_t {
    AppNameSize = 100,
    RequestKindSlots = Refresh + 1,
};

// The workers whose results the controller waits for, by RequestKind (slot 0 unused).
struct RunningRequests {
    bool marked[RequestKindSlots];
    // When each was started, in the units of the UTC clock (see utc_clock.h).
    int64_t since[RequestKindSlots];
};

// Read and written by the main thread only.
struct AppState {
    TrayState state;
    bool aboutOpen;
    // Set once the main window is being destroyed: late worker results are then dropped.
    bool closing;
    HINSTANCE instance;
    HWND mainWindow;
    char windowTitle[AppNameSize];
    char className[AppNameSize];
    HICON signedInIcon;
    HICON signedOutIcon;
    HICON errorIcon;
    HACCEL accelerators;
    // The shell broadcasts it when the notification area is recreated.
    UINT taskbarCreatedMessage;
    // The request that the retry timer repeats after an outage (0: none) and how many retries
    // came before the next one. A Refresh retry is what the tray calls reconnecting.
    RequestKind retryKind;
    unsigned retryCount;
    // Adds of the tray icon the shell refused since it was last shown; while above zero, the
    // tray retry timer tries again.
    unsigned trayRefusals;
    // No request starts beside its twin, and a result no worker is marked for is dropped.
    RunningRequests requests;
    // While it is open, a sign-in is under way whatever its requests do.
    bool signInDialogOpen;
    // The sign-in under way was started by the program itself, with the credentials it holds,
    // after the server dropped the session or its token ran out: no dialog, and no box while
    // the server cannot be reached.
    bool quietSignIn;
    // Counts the sign-outs. A worker's result names the count at its start, and one from before
    // the last sign-out speaks for a session that is gone.
    WORD generation;
    // The string of the last failure told; the same one is not told again until the user
    // starts a sign-in or the session comes back.
    UINT lastNotice;
    // The request that met a proxy asking for its sign-in in the background (0: none): a click
    // on the notification or the tray icon asks the user, then sends it again.
    RequestKind proxyAskedBy;
    // The layout of the tray icon's callback that the shell agreed to: 4, 3, or 0 for the oldest.
    UINT trayVersion;
};

extern AppState g_app;

// True while a refresh, or a sign-in the program started by itself, waits out an outage.
bool Reconnecting();
// Sets the state and logs a change with its cause.
void EnterState(TrayState next, const char* cause);
