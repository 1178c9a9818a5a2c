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

// Where the sign-in stands. Only sign_in_flow.cpp moves it, and each move stops what the new
// phase must not keep: the refresh timer runs only while signed in, the retry timer only while
// an outage is waited out.
enum class SignInPhase : uint8_t {
    NotSignedIn,        // nothing runs; the tray's Sign In is the way out
    Checking,           // the server check runs, or waits out an outage on the retry timer
    AskingUser,         // the sign-in dialog is open
    SigningInForUser,   // the sign-in the user confirmed runs; a box tells its outcome
    SigningInByItself,  // the program signs in with what it holds, or waits out an outage
    SignedIn,           // the refresh timer runs, or a refresh does
    Reconnecting,       // a refresh waits out an outage on the retry timer while the token holds
    WaitingForProxy,    // a proxy asked for its sign-in; a click on the notice or the icon asks
    // A failure only the user can mend was told, a refused password among them; nothing runs
    // until the user signs in again, so the program never sends a refused password by itself.
    WaitingForUser,
};

// The workers whose results the controller waits for, by RequestKind (slot 0 unused).
struct RunningRequests {
    bool marked[RequestKindSlots];
    // When each was started, on the tick clock.
    DWORD since[RequestKindSlots];
};

enum : unsigned {
    // Sends that went out with the password and got no answer may have been refused: the
    // program makes no more of them by itself than this in five minutes, and in an hour.
    UnansweredPerFiveMinutes = 3,
    UnansweredPerHour = 6,
};

// The last sends with the password that got no answer, oldest first, on the tick clock.
struct UnansweredSends {
    DWORD at[UnansweredPerHour];
    unsigned count;
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
    // Adds of the tray icon the shell refused since it was last shown; while above zero, the
    // tray retry timer tries again.
    unsigned trayRefusals;
    SignInPhase phase;
    // How many retries of the phase's request came before the next one, after an outage.
    unsigned retryCount;
    // The phase's workers; no request starts beside its twin, and a result no worker is
    // marked for is dropped.
    RunningRequests requests;
    // Counts the sign-outs and the sign-ins the user starts. A worker's result names the count
    // at its start, and one from before speaks for a session that is gone.
    WORD generation;
    // The check or sign-in under way is the one at start for a user who asked to be signed in
    // by itself: the kept password goes without the dialog, which opens only if it is refused.
    bool signInAtStart;
    // The phase that met the proxy, which its prompt's answer resumes (WaitingForProxy).
    SignInPhase proxyMetIn;
    UnansweredSends unanswered;
    // The string of the last failure told; the same one is not told again until the user
    // starts a sign-in or the session comes back.
    UINT lastNotice;
    // The layout of the tray icon's callback that the shell agreed to: 4, 3, or 0 for the oldest.
    UINT trayVersion;
};

extern AppState g_app;

// True while a refresh, or a sign-in the program started by itself, waits out an outage.
bool Reconnecting();
// Sets the state and logs a change with its cause.
void EnterState(TrayState next, const char* cause);
