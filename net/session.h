// The process-wide session record: the token the server granted, when to refresh it,
// the last server error text, and the lock that lets one server exchange run at a time.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

enum : size_t {
    SessionTokenSize = 4096,
    SessionDescriptionSize = 4096,
};

struct Session {
    DWORD mainThreadId;
    char token[SessionTokenSize];
    int64_t refreshIntervalMs;
    // When the token runs out: 100-ns units since 1601 in UTC on the server's clock, 0 before
    // the first token.
    int64_t expiryUtc;
    // How far the server's clock is ahead of this computer's (negative: behind), in 100-ns
    // units, from the latest answer with a Date header; 0 until one came.
    int64_t serverClockOffset;
    bool serverClockKnown;
    // Held for a whole server exchange; recursive.
    CRITICAL_SECTION lock;
    // The server's own words, in UTF-8; the token is in the system code page.
    char errorDescription[SessionDescriptionSize];
    // Held only while the fields above are written or copied, so that the main thread
    // never waits for a whole exchange to read them.
    CRITICAL_SECTION fieldsLock;

    Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// The one record of the process, built before WinMain runs and never destroyed: a worker
// that nothing waits for may still hold its locks while the process ends.
extern Session g_session;

// Records the thread that workers post their results to; once, at start-up.
void SetMainThreadId(Session& session, DWORD threadId);
DWORD MainThreadId(const Session& session);

// Copies the token (empty before the first sign-in) into out, bounded by capacity.
void CopyToken(Session& session, char* out, size_t capacity);
// The refresh interval in milliseconds; 0 or negative when the expiry is too close.
int64_t RefreshIntervalMs(Session& session);
// When the token runs out, in UTC (see utc_clock.h); 0 before the first token.
int64_t ExpiryUtc(Session& session);
// The present on the server's clock, in the units of ExpiryUtc: this computer's UTC clock
// corrected by the last offset measured.
int64_t ServerNowUtc(Session& session);
// The server's clock offset (see Session), 0 before one was measured.
int64_t ServerClockOffset(Session& session);
// Copies the last error description (UTF-8), cut between characters; false and an empty text
// when there is none.
bool CopyErrorDescription(Session& session, char* out, size_t capacity);

// Writers for the answer reader; the caller holds session.lock.
void StoreToken(Session& session, const char* token);
// The token's expiry and the interval worked out from it, stored together.
void StoreExpiry(Session& session, int64_t expiryUtc, int64_t intervalMs);
void StoreErrorDescription(Session& session, const char* description);
// Stores the server clock's offset measured from an answer; true when it is the first or has
// moved by more than 5 s since the last one, which the log then names.
bool StoreServerClockOffset(Session& session, int64_t offset);

// Forgets the token and its expiry, as at a sign-out.
void ForgetToken(Session& session);
