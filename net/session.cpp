#include "net/session.h"

#include "storage/scoped_lock.h"

#include <string.h>

Session g_session;

namespace {

// Copies text into out, cut after the last whole character of the system code page that
// fits before the terminator, so that a double-byte character is never split.
void CopyWholeCharacters(char* out, size_t capacity, const char* text) {
    size_t length = 0;
    while (text[length]) {
        size_t width = (IsDBCSLeadByte(static_cast<BYTE>(text[length])) && text[length + 1]) ? 2 : 1;
        if (length + width >= capacity) break;
        length += width;
    }
    memcpy(out, text, length);
    out[length] = '\0';
}

}  // namespace

Session::Session() : mainThreadId(0), refreshIntervalMs(0), expiryUtc(0) {
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
    CopyWholeCharacters(out, capacity, session.token);
}

int64_t RefreshIntervalMs(Session& session) {
    ScopedLock hold(session.fieldsLock);
    return session.refreshIntervalMs;
}

int64_t ExpiryUtc(Session& session) {
    ScopedLock hold(session.fieldsLock);
    return session.expiryUtc;
}

bool CopyErrorDescription(Session& session, char* out, size_t capacity) {
    if (!out || capacity == 0) return false;
    ScopedLock hold(session.fieldsLock);
    CopyWholeCharacters(out, capacity, session.errorDescription);
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
    CopyWholeCharacters(session.errorDescription, sizeof session.errorDescription, description);
}

void ForgetToken(Session& session) {
    ScopedLock hold(session.fieldsLock);
    SecureZeroMemory(session.token, sizeof session.token);
    session.expiryUtc = 0;
    session.refreshIntervalMs = 0;
}
