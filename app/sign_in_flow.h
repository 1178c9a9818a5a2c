// The sign-in state machine: what each worker result, each timer tick and each wake-up of the
// computer leads to.
#pragma once

#include <windows.h>

#include "app/report_result.h"
#include "app/request_thread.h"

// The longest period the platform timer accepts, 2^31 - 1 ms (about 24.8 days).
enum : UINT { MaxTimerPeriodMs = 0x7FFFFFFF };

// True while a sign-in runs: its dialog is open, or its check or sign-in can still answer.
bool SignInUnderWay();
// Enters SigningIn and starts the server check, unless a sign-in is under way; false (and 258
// reported) when it cannot start.
bool BeginSignIn();
// Stops the refreshes and any retry, forgets the token and the kept password (the e-mail
// address stays) and enters NotSignedIn; no box, no request.
void SignOut();
// Arms the refresh timer from the session's interval; stops it and reports 1026 to audience
// when not positive.
bool ArmRefreshTimer(Audience audience);
// Acts on one worker result: message holds the RequestKind and the sign-out count at the
// worker's start (see WM_APP_WORKER_RESULT), code a ResultCode. Other kinds, results from
// before the last sign-out or that no worker is marked for, and every result after the main
// window was destroyed, are ignored.
void HandleWorkerResult(WPARAM message, LPARAM code);
// A tick of the refresh timer: starts a Refresh worker.
void OnRefreshTick();
// A tick of the one-shot retry timer, or a change of the network while it waits: repeats the
// request that met an outage.
void OnRetryTick();
// The computer woke up: refreshes, checks or signs in again at once, the last when the session
// ran out in its sleep.
void OnWakeUp();
// After a proxy asked for its sign-in in the background: asks the user for it with Windows'
// prompt, then repeats the request that met it; false when no proxy asked or the user cancelled.
bool AnswerProxy();
// The user set the clock: a signed-in program refreshes at once, measuring the server's clock
// against it again.
void OnClockChanged();
// The wait before retry number count (0 first) after an outage: 5 s, 10 s, 20 s, 40 s, then 60 s.
UINT RetryDelayMs(unsigned count);
