// The sign-in state machine: the one place that decides what each event leads to. Its phase is
// AppState's phase (app_state.h); the main window, the message loop, the tray and its notices
// only hand their events in here.
#pragma once

#include <windows.h>

#include "app/request_thread.h"

// The longest period the platform timer accepts, 2^31 - 1 ms (about 24.8 days).
enum : UINT { MaxTimerPeriodMs = 0x7FFFFFFF };

// True while a sign-in runs: its dialog is open, or its check or sign-in can still answer.
bool SignInUnderWay();
// The user asks to sign in: the server check, then the dialog. A sign-in under way is left to
// run; false (and 258 told) when the check cannot start.
bool BeginSignIn();
// At start: the server check, then the dialog; with "Sign me in automatically", an e-mail
// address and a password Windows keeps for them, the program's own sign-in instead.
void SignInAtStart();
// Stops everything, forgets the token and the kept password (the e-mail address stays) and
// enters NotSignedIn; no box, no request.
void SignOut();
// Acts on one worker result: message holds the RequestKind and the generation at the worker's
// start (see WM_APP_WORKER_RESULT), code a ResultCode. Other kinds, results from an earlier
// generation or that no worker is marked for, and every result after the main window was
// destroyed, are ignored.
void HandleWorkerResult(WPARAM message, LPARAM code);
// A tick of the refresh timer: refreshes the session.
void OnRefreshTick();
// A tick of the one-shot retry timer: repeats the request that waits out an outage.
void OnRetryTick();
// The network changed: a request that waits out an outage is repeated at once.
void OnNetworkChange();
// The computer woke up: a request that waits out an outage is repeated at once; a session
// refreshes, or signs in again when its token ran out in the sleep.
void OnWakeUp();
// The user set the clock: a session refreshes at once, measuring the server's clock again.
void OnClockChanged();
// The user clicked the notification from the tray icon: after a proxy asked, Windows' prompt;
// after a failure the user must mend, or while a sign-in waits out an outage, the sign-in.
void OnNoticeClicked();
// A double-click on the tray icon: as a click on the notice, or the sign-in; false, and
// nothing done, while the session stands and the current page is to open instead.
bool SignInOnDoubleClick();
// The wait before retry number count (0 first) after an outage: 5 s, 10 s, 20 s, 40 s, then 60 s.
UINT RetryDelayMs(unsigned count);
