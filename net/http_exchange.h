// One GET to the configured server, over plain HTTP or TLS: fresh session, connection and
// request handles, optional HTTP authentication with the stored credentials (Basic answered by
// the program itself, see basic_auth.h), bounded answer body.
#pragma once

#include "net/basic_auth.h"
#include "storage/heap_text.h"
#include "storage/settings.h"

#include <windows.h>
#include <wininet.h>
#include <stdint.h>

// What a server operation tells apart about one exchange.
enum class ExchangeOutcome {
    NotSent,     // the request could not be sent (no connection, time-out, closed without answer)
    Unverified,  // TLS: the server's certificate did not verify, so nothing was sent
    Sent,        // sent; neither status nor body was asked for, or the status was not 401
    Refused,     // the final status was 401
    NoAnswer,    // the body could not be read whole, grew past the bound, or found no memory
    AnswerText,  // the whole body was read
    ProxyRefused,  // a proxy asked for its own sign-in (407), or refused the one it was given
    Unanswered,    // sent with the password, and no answer came: the server may have refused it
};

// What an exchange is for. An exchange left behind at its deadline holds back the next one of
// its kind until it ends, so that no more than one per kind lingers.
enum class ExchangeKind : unsigned char {
    Check,    // the server check, without credentials
    SignIn,   // the sign-in and the sign-in dialog's credential check
    Refresh,  // the session's refresh
};
enum : int { ExchangeKinds = 3 };

// Which steps one exchange runs.
struct ExchangeRequest {
    const char* pathTail;    // script and query, appended to the directory as they are
    ExchangeKind kind;
    bool attachCredentials;  // answer the server's challenge with user and password; no redirect
    bool queryStatus;        // tell a final 401 apart
    bool readBody;           // collect the answer body
};

// What the answers of one exchange said of the server's clock: how far it is ahead of this
// computer's (negative: behind), in 100-ns units, by the Date of the final answer and of the
// latest 401 challenge. A proxy's 407 says nothing of it.
struct ExchangeClock {
    int64_t answerOffset;
    int64_t challengeOffset;
    bool answerDated;
    bool challengeDated;
};

// The body is read up to this many bytes; a longer one is an unusable answer.
enum : DWORD { ExchangeBodyLimit = 1024 * 1024 };

// Connect, send and receive time-out of every request handle, in milliseconds.
enum : DWORD { ExchangeTimeoutMs = 30000 };
// Tests shorten the time-out here; 0, as at start, keeps ExchangeTimeoutMs. The seams start
// at zero so that the image needs no initialised writable data.
extern DWORD g_exchangeTimeoutMs;

// The longest one exchange may take from its start to the end of its body, in milliseconds:
// a server that sends a byte now and then would restart the per-step time-outs for ever.
enum : DWORD { ExchangeDeadlineMs = 60000 };
// Tests shorten the deadline here; 0, as at start, keeps ExchangeDeadlineMs.
extern DWORD g_exchangeDeadlineMs;
// The deadline in force, in milliseconds.
DWORD EffectiveExchangeDeadlineMs();

// Runs one exchange with the given settings; body gets the answer as UTF-16 text for
// AnswerText and is empty otherwise. An exchange still under way at its deadline ends as
// NotSent and is left behind; the next one of its kind first waits for it, within its own
// deadline, and ends as NotSent without sending while it still runs. unconfirmed, when given,
// gets the form in which non-ASCII Basic credentials went to a server that neither refused
// them nor answered 2xx: only an answer document in the body tells that it took them (see
// RememberOrigin). clock, when given, gets what the answers said of the server's clock, for the
// caller to take up once it knows whether the service spoke (see server_operations.cpp). The
// caller holds the session lock.
ExchangeOutcome RunExchange(const ServerSettings& settings, const ExchangeRequest& request, HeapText* body,
                            OriginAuth* unconfirmed = nullptr, ExchangeClock* clock = nullptr);
