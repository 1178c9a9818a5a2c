#include "net/session.h"

#include "net/utc_clock.h"
#include "storage/scoped_lock.h"

#include <string.h>

Session g_session;

namespace {

// Copies text in codePage (the system's, or UTF-8) into out, cut after the last whole
// character that fits before the terminator, so that no character is ever split.
void CopyWholeCharacters(char* out, size_t capacity, const char* text, UINT codePage) {
    size_t length = 0;
    while (text[length]) {
        size_t width = 1;
        if (codePage == CP_UTF8) {
            while ((static_cast<BYTE>(text[length + width]) & 0xC0) == 0x80) ++width;
        } else if (IsDBCSLeadByte(static_cast<BYTE>(text[length])) && text[length + 1]) {
            width = 2;
        }
        if (length + width >= capacity) break;
        length += width;
    }
    memcpy(out, text, length);
    out[length] = '\0';
}

}  // namespace

Session::Session()
    : mainThreadId(0), refreshIntervalMs(0), expiryUtc(0), serverClockOffset(0), serverClockKnown(false) {
    memset(token, 0, sizeof token);
    memset(errorDescription, 0, sizeof errorDescription);
    InitializeCriticalSection(&lock);
    InitializeCriticalSection(&fieldsLock);
}

void SetMainThreadId(Session& session, DWORD threadId) { session.mainThreadId = threadId; }

DWORD MainThreadId(const Session& session) { return session.mainThreadId; }

void CopyToken(Session& session, char* out, size_t capacity) {
    if (!out || capacity == 0) return;
    ScopedLock hold(session.fieldsLock);
    CopyWholeCharacters(out, capacity, session.token, CP_ACP);
}

int64_t RefreshIntervalMs(Session& session) {
    ScopedLock hold(session.fieldsLock);
    return session.refreshIntervalMs;
}

int64_t ExpiryUtc(Session& session) {
    ScopedLock hold(session.fieldsLock);
    return session.expiryUtc;
}

int64_t ServerClockOffset(Session& session) {
    ScopedLock hold(session.fieldsLock);
    return session.serverClockOffset;
}

int64_t ServerNowUtc(Session& session) { return UtcNowCount() + ServerClockOffset(session); }

bool CopyErrorDescription(Session& session, char* out, size_t capacity) {
    if (!out || capacity == 0) return false;
    ScopedLock hold(session.fieldsLock);
    CopyWholeCharacters(out, capacity, session.errorDescription, CP_UTF8);
    return session.errorDescription[0] != '\0';
}

void StoreToken(Session& session, const char* token) {
    // The token is never cleared: only a non-empty one that fits whole replaces it.
    if (!token || !*token || strlen(token) >= sizeof session.token) return;
    ScopedLock hold(session.fieldsLock);
    memcpy(session.token, token, strlen(token) + 1);
}

void StoreExpiry(Session& session, int64_t expiryUtc, int64_t intervalMs) {
    ScopedLock hold(session.fieldsLock);
    session.expiryUtc = expiryUtc;
    session.refreshIntervalMs = intervalMs;
}

void StoreErrorDescription(Session& session, const char* description) {
    if (!description || !*description) return;
    ScopedLock hold(session.fieldsLock);
    CopyWholeCharacters(session.errorDescription, sizeof session.errorDescription, description, CP_UTF8);
}

bool StoreServerClockOffset(Session& session, int64_t offset) {
    // The Date header counts whole seconds, so smaller moves are only its rounding.
    const int64_t kNoticeableMove = int64_t(5) * 10000000;
    ScopedLock hold(session.fieldsLock);
    const int64_t moved = offset - session.serverClockOffset;
    const bool told = !session.serverClockKnown || moved > kNoticeableMove || moved < -kNoticeableMove;
    session.serverClockKnown = true;
    session.serverClockOffset = offset;
    return told;
}

void ForgetToken(Session& session) {
    ScopedLock hold(session.fieldsLock);
    SecureZeroMemory(session.token, sizeof session.token);
    session.expiryUtc = 0;
    session.refreshIntervalMs = 0;
}
